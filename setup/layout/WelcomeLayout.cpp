// The Welcome page's text rows, placed from measured text sizes: stored places where the text fits,
// and where it does not, the least change that shows all of it.
#include "setup/layout/WelcomeLayout.h"

#include "platform/Exception.h"
#include "setup/layout/FormLayout.h"

#include <algorithm>

namespace {

using N = TControlName;

// Spacing at 96 pixels per inch: between a caption's text and its value, and between the author's
// row and "Created:" when that needs a row of its own.
constexpr int CaptionGap = 4;
constexpr int RowGap = 2;
// Room after a measured text, so that a label never ends exactly at its last pixel.
constexpr int TextPad = 2;

class TFitter {
public:
    TFitter(int dpi, const std::function<std::string(TControlName)>& text, const TMeasureText& measure)
        : Dpi(dpi), Text(text), Measure(measure) {
        const TControlLayout& welcome = ControlLayout(N::Welcome);
        PageRight = S(welcome.Left + welcome.Width);
    }

    int S(int pixels) const { return ScalePixels(pixels, Dpi); }

    // A label at a stored place whose text wraps at the stored width; it grows downwards only.
    TPlace WrappedAtStoredWidth(N name, int top) const {
        const TControlLayout& stored = ControlLayout(name);
        const TTextSize size = Measure(Text(name), S(stored.Width));
        return {S(stored.Left), top, S(stored.Width), std::max(S(stored.Height), size.Height)};
    }

    // A caption on one line at the given place, as wide as its text.
    TPlace Caption(N name, int left, int top) const {
        const TTextSize size = Measure(Text(name), 0);
        return {left, top, size.Width + S(TextPad), size.Height};
    }

    // A value at left, at least minWidth wide (its stored width) and otherwise as wide as its text;
    // a text that would run past the page's right margin wraps there instead.
    TPlace Value(N name, int left, int top, int minWidth) const {
        const std::string text = Text(name);
        const int room = std::max(PageRight - left, 1);
        const TTextSize line = Measure(text, 0);
        if (line.Width + S(TextPad) <= room)
            return {left, top, std::min(std::max(minWidth, line.Width + S(TextPad)), room), line.Height};
        const TTextSize wrapped = Measure(text, room);
        return {left, top, room, wrapped.Height};
    }

    // The left edge of a value: its stored place, or right of its caption when that runs wider.
    int ValueLeft(N name, const TPlace& caption) const {
        return std::max(S(ControlLayout(name).Left), caption.Right() + S(CaptionGap));
    }

    // A row's top: its stored place, moved down by as much as the row above grew past its stored
    // bottom.
    int RowTop(N name, int bottomAbove, int storedBottomAbove) const {
        return S(ControlLayout(name).Top) + std::max(0, bottomAbove - storedBottomAbove);
    }

    TWelcomeLayout Fit() const {
        TWelcomeLayout layout;
        auto& at = layout.Places;

        at[N::Welcome] = WrappedAtStoredWidth(N::Welcome, S(ControlLayout(N::Welcome).Top));

        const TControlLayout& welcome = ControlLayout(N::Welcome);
        const int descriptionTop =
            RowTop(N::DescriptionCaption, at[N::Welcome].Bottom(), S(welcome.Top) + S(welcome.Height));
        at[N::DescriptionCaption] =
            Caption(N::DescriptionCaption, S(ControlLayout(N::DescriptionCaption).Left), descriptionTop);
        at[N::Description] =
            Value(N::Description, ValueLeft(N::Description, at[N::DescriptionCaption]), descriptionTop, 0);
        const int descriptionBottom =
            std::max(at[N::DescriptionCaption].Bottom(), at[N::Description].Bottom());

        // The stored rows are one line of the stored font high, as tall as the author's box.
        const TControlLayout& author = ControlLayout(N::Author);
        const int authorTop = RowTop(N::AuthorCaption, descriptionBottom,
                                     S(ControlLayout(N::DescriptionCaption).Top) + S(author.Height));
        const TControlLayout& created = ControlLayout(N::Created);
        const TControlLayout& createdCaption = ControlLayout(N::CreatedCaption);
        at[N::AuthorCaption] = Caption(N::AuthorCaption, S(ControlLayout(N::AuthorCaption).Left), authorTop);
        const int authorLeft = ValueLeft(N::Author, at[N::AuthorCaption]);
        const TTextSize authorText = Measure(Text(N::Author), 0);
        // The author's box keeps its stored right edge unless its text runs past it; "Created:"
        // keeps its stored distance from that edge.
        const int spacing = S(createdCaption.Left) - S(author.Left) - S(author.Width);
        const int authorWidth =
            std::max(S(author.Left) + S(author.Width) - authorLeft, authorText.Width + S(TextPad));
        const int createdNeeds = Measure(Text(N::Created), 0).Width + S(TextPad);
        TPlace createdLabel =
            Caption(N::CreatedCaption, std::max(S(createdCaption.Left), authorLeft + authorWidth + spacing),
                    authorTop);
        int createdLeft = ValueLeft(N::Created, createdLabel);
        // Too long for the stored places: the pair moves left, up to a short author's text.
        if (createdLeft + createdNeeds > PageRight) {
            createdLabel.Left =
                std::min(createdLabel.Left, authorLeft + authorText.Width + S(TextPad) + spacing);
            createdLeft = createdLabel.Right() + S(CaptionGap);
        }

        if (createdLeft + createdNeeds <= PageRight) {
            at[N::CreatedCaption] = createdLabel;
            at[N::Author] = {authorLeft, authorTop, createdLabel.Left - spacing - authorLeft,
                             std::max(S(author.Height), authorText.Height)};
            at[N::Created] = Value(N::Created, createdLeft, authorTop, S(created.Width));
            at[N::Created].Height = std::max(at[N::Created].Height, S(created.Height));
        } else {
            // No room for both pairs on one row: "Created:" starts the next row, its value lined
            // up with the author's unless the caption needs more room.
            at[N::Author] = Value(N::Author, authorLeft, authorTop, S(author.Width));
            at[N::Author].Height = std::max(at[N::Author].Height, S(author.Height));
            const int createdTop =
                std::max(at[N::AuthorCaption].Bottom(), at[N::Author].Bottom()) + S(RowGap);
            at[N::CreatedCaption] = Caption(N::CreatedCaption, at[N::AuthorCaption].Left, createdTop);
            const int createdLeft = std::max(authorLeft, at[N::CreatedCaption].Right() + S(CaptionGap));
            at[N::Created] = Value(N::Created, createdLeft, createdTop, 0);
            at[N::Created].Height = std::max(at[N::Created].Height, S(created.Height));
        }

        int bottom = 0;
        for (const auto& [name, place] : at) bottom = std::max(bottom, place.Bottom());
        const TFormLayout& form = FormLayout();
        layout.ExtraHeight = std::max(0, bottom - S(form.NotebookTop + form.NotebookHeight));
        return layout;
    }

private:
    int Dpi;
    const std::function<std::string(TControlName)>& Text;
    const TMeasureText& Measure;
    int PageRight = 0;
};

} // namespace

TPlace& TPlaces::operator[](TControlName name) {
    for (TEntry& entry : Entries)
        if (entry.first == name) return entry.second;
    // Room for every control at once, so that a place handed out stays where it is.
    Entries.reserve(ControlCount);
    return Entries.emplace_back(name, TPlace()).second;
}

const TPlace& TPlaces::At(TControlName name) const {
    for (const TEntry& entry : Entries)
        if (entry.first == name) return entry.second;
    throw Exception("No place for control " + std::to_string(static_cast<int>(name)));
}

TWelcomeLayout FitWelcomePage(int dpi, const std::function<std::string(TControlName)>& text,
                              const TMeasureText& measure) {
    return TFitter(dpi, text, measure).Fit();
}
