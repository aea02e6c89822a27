// The stored layout table that both the Win32 window and the fake controls start from, and the
// Welcome page's labels placed from their measured text.
#include "setup/layout/FormLayout.h"
#include "platform/Exception.h"
#include "setup/layout/WelcomeLayout.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <set>

namespace {

using N = TControlName;

TEST(FormLayoutTable, EveryControlButTheNotebookHasOneRow) {
    std::map<N, int> rows;
    for (const TControlLayout& control : ControlLayouts()) ++rows[control.Name];
    for (int i = static_cast<int>(N::Notebook); i <= static_cast<int>(N::OpenDictionary); ++i) {
        const auto name = static_cast<N>(i);
        EXPECT_EQ(rows[name], name == N::Notebook ? 0 : 1) << ControlNameText(name);
    }
}

TEST(FormLayoutTable, TabOrdersAreDistinctWithinEachParent) {
    std::map<TControlParent, std::set<int>> seen;
    for (const TControlLayout& control : ControlLayouts()) {
        if (control.TabOrder < 0) continue;
        EXPECT_TRUE(seen[control.Parent].insert(control.TabOrder).second) << ControlNameText(control.Name);
    }
    // The notebook's own tab order comes before the three buttons of the form.
    EXPECT_FALSE(seen[TControlParent::Form].count(FormLayout().NotebookTabOrder));
}

TEST(FormLayoutTable, OneDefaultAndOneCancelButton) {
    int defaults = 0, cancels = 0;
    for (const TControlLayout& control : ControlLayouts()) {
        if (control.Flags & cfDefault) {
            ++defaults;
            EXPECT_EQ(control.Name, N::NextButton);
        }
        if (control.Flags & cfCancel) {
            ++cancels;
            EXPECT_EQ(control.Name, N::CancelButton);
        }
    }
    EXPECT_EQ(defaults, 1);
    EXPECT_EQ(cancels, 1);
}

TEST(FormLayoutTable, OnlyProgressControlsStartHidden) {
    for (const TControlLayout& control : ControlLayouts()) {
        const bool progress = control.Name == N::ProgressBar || control.Name == N::ProgressBarLabel;
        EXPECT_EQ((control.Flags & cfHidden) != 0, progress) << ControlNameText(control.Name);
    }
}

TEST(FormLayoutTable, ControlsFitInsideTheirParents) {
    const TFormLayout& form = FormLayout();
    for (const TControlLayout& control : ControlLayouts()) {
        int width = form.ClientWidth, height = form.ClientHeight;
        if (PageOf(control) >= 0) {
            width = form.NotebookWidth;
            height = form.NotebookHeight;
        }
        if (control.Parent == TControlParent::DictionaryGroup ||
            control.Parent == TControlParent::VellumorGroup) {
            const TControlLayout& box = ControlLayout(
                control.Parent == TControlParent::DictionaryGroup ? N::DictionaryGroup : N::VellumorGroup);
            width = box.Width;
            height = box.Height;
        }
        EXPECT_LE(control.Left + control.Width, width) << ControlNameText(control.Name);
        EXPECT_LE(control.Top + control.Height, height) << ControlNameText(control.Name);
    }
}

TEST(FormLayoutTable, PagesOfTheGroupBoxes) {
    EXPECT_EQ(PageOf(ControlLayout(N::PVDirectory)), 1);
    EXPECT_EQ(PageOf(ControlLayout(N::DictionaryDirectoryButton)), 2);
    EXPECT_EQ(PageOf(ControlLayout(N::Picture)), 0);
    EXPECT_EQ(PageOf(ControlLayout(N::CancelButton)), -1);
}

// A font whose every character is CharWidth wide; wrapped text fills each line to the width.
struct TFixedFont {
    int CharWidth, LineHeight;
    TTextSize operator()(const std::string& text, int wrapWidth) const {
        const int width = static_cast<int>(text.size()) * CharWidth;
        if (wrapWidth <= 0 || width <= wrapWidth) return {width, LineHeight};
        return {wrapWidth, (width + wrapWidth - 1) / wrapWidth * LineHeight};
    }
};

const std::map<N, std::string> SampleTexts = {
    {N::Welcome, ControlLayout(N::Welcome).Text},
    {N::DescriptionCaption, "Description:"},
    {N::Description, "English-German software terminology"},
    {N::AuthorCaption, "Author:"},
    {N::Author, "Parlavox Localisation Team"},
    {N::CreatedCaption, "Created:"},
    {N::Created, "2/20/1999 11:11:29"},
};

TWelcomeLayout Fit(int dpi, const TFixedFont& font, std::map<N, std::string> texts = SampleTexts) {
    return FitWelcomePage(
        dpi, [&](N name) { return texts.at(name); }, font);
}

TEST(WelcomePlaces, PlacesStayWhereTheyAreAsOthersAreAdded) {
    TPlaces places;
    TPlace& welcome = places[N::Welcome];
    welcome.Width = 10;
    for (N name :
         {N::DescriptionCaption, N::Description, N::AuthorCaption, N::Author, N::CreatedCaption, N::Created})
        places[name].Width = 1;
    welcome.Height = 5;
    EXPECT_EQ(places.At(N::Welcome), (TPlace{0, 0, 10, 5}));
    EXPECT_EQ(std::distance(places.begin(), places.end()), 7);
    EXPECT_THROW(places.At(N::NextButton), Exception);
}

// Every text fits its place, inside the page's margins, and no two places overlap.
void ExpectAllTextVisible(const TWelcomeLayout& layout, int dpi, const TFixedFont& font,
                          const std::map<N, std::string>& texts = SampleTexts) {
    for (const auto& [name, place] : layout.Places) {
        const TTextSize line = font(texts.at(name), 0);
        const TTextSize size = line.Width <= place.Width ? line : font(texts.at(name), place.Width);
        EXPECT_LE(size.Width, place.Width) << ControlNameText(name);
        EXPECT_LE(size.Height, place.Height) << ControlNameText(name);
        EXPECT_GE(place.Left, ScalePixels(8, dpi)) << ControlNameText(name);
        EXPECT_LE(place.Right(), ScalePixels(377, dpi)) << ControlNameText(name);
        for (const auto& [other, there] : layout.Places) {
            const bool apart = place.Right() <= there.Left || there.Right() <= place.Left ||
                               place.Bottom() <= there.Top || there.Bottom() <= place.Top;
            EXPECT_TRUE(name == other || apart)
                << ControlNameText(name) << " overlaps " << ControlNameText(other);
        }
    }
    const int bottom = ScalePixels(233, dpi) + layout.ExtraHeight;
    for (const auto& [name, place] : layout.Places)
        EXPECT_LE(place.Bottom(), bottom) << ControlNameText(name);
}

class WelcomeLayoutScaling : public ::testing::TestWithParam<int> {};

// A font as narrow as the one the layout was made for keeps every stored place, at any scaling.
TEST_P(WelcomeLayoutScaling, NarrowFontKeepsTheStoredPlaces) {
    const int dpi = GetParam();
    const TWelcomeLayout layout = Fit(dpi, {4 * dpi / 96, ScalePixels(13, dpi)});
    auto S = [dpi](int pixels) { return ScalePixels(pixels, dpi); };
    EXPECT_EQ(layout.ExtraHeight, 0);
    for (N name : {N::Welcome, N::Author, N::Created}) {
        const TControlLayout& stored = ControlLayout(name);
        EXPECT_EQ(layout.Places.At(name),
                  (TPlace{S(stored.Left), S(stored.Top), S(stored.Width), S(stored.Height)}))
            << ControlNameText(name);
    }
    for (N name : {N::DescriptionCaption, N::Description, N::AuthorCaption, N::CreatedCaption}) {
        EXPECT_EQ(layout.Places.At(name).Left, S(ControlLayout(name).Left)) << ControlNameText(name);
        EXPECT_EQ(layout.Places.At(name).Top, S(ControlLayout(name).Top)) << ControlNameText(name);
    }
}

// A wider and taller font than the stored one, as Wine's stand-in for "MS Sans Serif" is.
TEST_P(WelcomeLayoutScaling, WideTallFontShowsEveryText) {
    const int dpi = GetParam();
    const TFixedFont font{6 * dpi / 96, ScalePixels(16, dpi)};
    const TWelcomeLayout layout = Fit(dpi, font);
    ExpectAllTextVisible(layout, dpi, font);
    EXPECT_GT(layout.Places.At(N::Welcome).Height, ScalePixels(30, dpi));
    EXPECT_GT(layout.ExtraHeight, 0);
}

INSTANTIATE_TEST_SUITE_P(Dpi, WelcomeLayoutScaling, ::testing::Values(96, 120, 144, 192));

TEST(WelcomeLayout, LongDateMovesCreatedTowardsAShortAuthor) {
    const TFixedFont font{4, 13};
    std::map<N, std::string> texts = SampleTexts;
    texts[N::Created] = "Saturday, 20 February 1999 11:11:29";
    const TWelcomeLayout layout = Fit(96, font, texts);
    ExpectAllTextVisible(layout, 96, font, texts);
    EXPECT_LT(layout.Places.At(N::CreatedCaption).Left, 216);
    EXPECT_EQ(layout.Places.At(N::CreatedCaption).Top, layout.Places.At(N::AuthorCaption).Top);
    EXPECT_EQ(layout.ExtraHeight, 0);
}

TEST(WelcomeLayout, LongRecordTextsWrapAndCreatedGetsARowOfItsOwn) {
    const TFixedFont font{5, 13};
    std::map<N, std::string> texts = SampleTexts;
    texts[N::Description] =
        "A dictionary of software terms with examples from forty years of manuals and help";
    texts[N::Author] = "The Parlavox Localisation Team of the Hamburg and Lisbon offices";
    const TWelcomeLayout layout = Fit(96, font, texts);
    ExpectAllTextVisible(layout, 96, font, texts);
    const auto& at = layout.Places;
    EXPECT_EQ(at.At(N::Description).Right(), 377);
    EXPECT_EQ(at.At(N::Description).Height, 26);
    EXPECT_EQ(at.At(N::CreatedCaption).Left, 8);
    EXPECT_EQ(at.At(N::CreatedCaption).Top, at.At(N::Author).Bottom() + 2);
    EXPECT_EQ(at.At(N::Created).Top, at.At(N::CreatedCaption).Top);
    EXPECT_GE(at.At(N::Created).Left, at.At(N::Author).Left);
}

} // namespace
