// Recording fakes of the wizard form's controls: they start in the form's stored state (from the
// layout table), remember every change and append the ones that matter for ordering (captions,
// cursor, visibility, enabling, close, terminate) to a call log shared with the fake desktop.
#pragma once

#include "setup/layout/FormLayout.h"

#include <map>
#include <string>
#include <vector>

class TCallLog {
public:
    void Add(const std::string& entry) { Entries.push_back(entry); }
    // Position of the first entry equal to entry, or -1.
    int IndexOf(const std::string& entry) const {
        for (size_t i = 0; i < Entries.size(); ++i)
            if (Entries[i] == entry) return static_cast<int>(i);
        return -1;
    }
    bool Contains(const std::string& entry) const { return IndexOf(entry) >= 0; }

    std::vector<std::string> Entries;
};

class TFakeControls : public TFormControls {
public:
    explicit TFakeControls(TCallLog& log) : Log(log) {
        Page = FormLayout().StoredPageIndex;
        Caption = FormLayout().Caption;
        for (const TControlLayout& control : ControlLayouts()) {
            Texts[control.Name] = control.Text;
            Visible[control.Name] = (control.Flags & cfHidden) == 0;
            Enabled[control.Name] = true;
            if (control.Kind == TControlKind::ckCheckBox)
                Ticked[control.Name] = (control.Flags & cfChecked) != 0;
        }
    }

    int PageIndex() const override { return Page; }
    void ShowPage(int index) override {
        Page = index;
        Log.Add("ShowPage " + std::to_string(index));
    }
    void SetCaption(const std::string& caption) override { Caption = caption; }
    std::string Text(TControlName control) const override { return Texts.at(control); }
    void SetText(TControlName control, const std::string& text) override { Texts[control] = text; }
    void SetVisible(TControlName control, bool visible) override {
        Visible[control] = visible;
        Log.Add(std::string(visible ? "Show " : "Hide ") + ControlNameText(control));
    }
    void SetEnabled(TControlName control, bool enabled) override {
        Enabled[control] = enabled;
        Log.Add(std::string(enabled ? "Enable " : "Disable ") + ControlNameText(control));
    }
    bool Checked(TControlName control) const override { return Ticked.at(control); }
    void SetChecked(TControlName control, bool checked) override { Ticked[control] = checked; }
    void SetProgress(int position) override { ProgressPositions.push_back(position); }
    void SetBusyCursor(bool busy) override {
        Busy = busy;
        Log.Add(busy ? "Cursor busy" : "Cursor default");
    }
    void Repaint(TControlName control) override {
        Log.Add(std::string("Repaint ") + ControlNameText(control));
    }
    void Close() override {
        Closed = true;
        Log.Add("Close");
    }
    void Terminate() override {
        Terminated = true;
        Log.Add("Terminate");
    }

    TCallLog& Log;
    int Page = 0;
    std::string Caption;
    std::map<TControlName, std::string> Texts;
    std::map<TControlName, bool> Visible;
    std::map<TControlName, bool> Enabled;
    std::map<TControlName, bool> Ticked;
    std::vector<int> ProgressPositions;
    bool Busy = false;
    bool Closed = false;
    bool Terminated = false;
};
