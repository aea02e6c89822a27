// The Welcome page's text laid out from its measured size: the welcome text, "Description:" with
// its value, and "Author:" and "Created:" with theirs. Each label keeps its stored place wherever
// its text fits there. Where a text needs more room (a font in place of "MS Sans Serif" that runs
// wider or taller, another scaling, a long value from the support record), a value moves right of
// its caption, a row moves down below the one above it, a value too wide for the page wraps, the
// "Created:" pair moves left towards a short author or, when the author leaves no room for it,
// goes to a row of its own, and the form grows taller by whatever the text needs below the
// notebook. Portable, so that every decision is tested without a screen; the window measures with
// its real font.
#pragma once

#include "setup/FormPorts.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

// A control's place in device pixels, relative to the page (the notebook's client area).
struct TPlace {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
    bool operator==(const TPlace&) const = default;
};

struct TTextSize {
    int Width = 0, Height = 0;
};

// Size of a text in the form's font, in device pixels: on one line when wrapWidth is 0, otherwise
// broken at word boundaries into lines no wider than wrapWidth.
using TMeasureText = std::function<TTextSize(const std::string& text, int wrapWidth)>;

// The labels' places by control, in the order they were first placed. Seven at most: a search
// through them is as quick as a tree, and the setup programs carry no tree code for it.
class TPlaces {
public:
    using TEntry = std::pair<TControlName, TPlace>;

    // The control's place; an empty one, added, when it has none yet. Added places never move.
    TPlace& operator[](TControlName name);
    // The control's place; an Exception when it has none.
    const TPlace& At(TControlName name) const;
    std::vector<TEntry>::const_iterator begin() const { return Entries.begin(); }
    std::vector<TEntry>::const_iterator end() const { return Entries.end(); }

private:
    std::vector<TEntry> Entries;
};

struct TWelcomeLayout {
    TPlaces Places;
    // Device pixels by which the form grows, moving the buttons below the notebook down with it.
    int ExtraHeight = 0;
};

// Places the seven text labels of the Welcome page for the given screen resolution (96 is the
// stored layout's), from the labels' current texts.
TWelcomeLayout FitWelcomePage(int dpi, const std::function<std::string(TControlName)>& text,
                              const TMeasureText& measure);
