// The stored layout table that both the Win32 window and the fake controls start from.
#include "setup/FormLayout.h"

#include <gtest/gtest.h>

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
        if (control.Parent == TControlParent::GroupBox1 || control.Parent == TControlParent::GroupBox2) {
            const TControlLayout& box =
                ControlLayout(control.Parent == TControlParent::GroupBox1 ? N::GroupBox1 : N::GroupBox2);
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
    EXPECT_EQ(PageOf(ControlLayout(N::Image1)), 0);
    EXPECT_EQ(PageOf(ControlLayout(N::CancelButton)), -1);
}

} // namespace
