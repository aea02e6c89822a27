// The wizard form's stored layout: the window's size and fonts and, for every control, its kind,
// parent, place, initial text and tab order, at 96 pixels per inch. The Win32 window builds itself
// from this table (scaled for the screen's DPI) and the native tests' fake controls start from it,
// so both begin in the same stored state: page 2 selected, progress label and bar hidden.
#pragma once

#include "setup/FormPorts.h"

#include <span>

enum class TControlKind { ckLabel, ckEdit, ckButton, ckCheckBox, ckGroupBox, ckImage, ckProgressBar };

// Where a control sits: directly on the form, on a notebook page, or inside a group box.
enum class TControlParent { Form, Page0, Page1, Page2, DictionaryGroup, VellumorGroup };

enum TControlFlag : unsigned {
    cfNone = 0,
    cfAutoSize = 1 << 0,  // sized to its text; Width and Height are ignored
    cfCentered = 1 << 1,  // text centred
    cfWordWrap = 1 << 2,  // text wrapped at the control's width
    cfHidden = 1 << 3,    // not visible until the wizard shows it
    cfChecked = 1 << 4,   // check box ticked
    cfDefault = 1 << 5,   // pressed by Enter
    cfCancel = 1 << 6,    // pressed by Escape
    cfTitleFont = 1 << 7, // Arial bold 16 points instead of the form's font
};

struct TControlLayout {
    TControlName Name;
    TControlKind Kind;
    TControlParent Parent;
    int Left, Top, Width, Height;
    const char* Text;
    int TabOrder; // -1: not a tab stop
    unsigned Flags;
};

struct TFormLayout {
    int ClientWidth = 385;
    int ClientHeight = 272;
    const char* Caption = "Parlavox Dictionary Setup";
    const char* FontName = "MS Sans Serif";
    int FontHeight = 11; // 8 points at 96 pixels per inch
    const char* TitleFontName = "Arial";
    int TitleFontHeight = 21; // 16 points, bold
    int PixelsPerInch = 96;
    int StoredPageIndex = 2;
    int NotebookTabOrder = 0;
    // The notebook covers the top of the form; its pages fill it.
    int NotebookLeft = 0, NotebookTop = 0, NotebookWidth = 385, NotebookHeight = 233;
};

const TFormLayout& FormLayout();
std::span<const TControlLayout> ControlLayouts();
const TControlLayout& ControlLayout(TControlName name);
// The notebook page a control is shown on (0 to 2), or -1 for controls of the form itself.
int PageOf(const TControlLayout& control);
// A length of the stored layout at the given pixels per inch, rounded to the nearest pixel as
// Windows' MulDiv rounds it.
int ScalePixels(int pixels, int dpi);
