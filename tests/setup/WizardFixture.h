// The wizard under test: a TMainForm over recording fake controls and a fake desktop that carries
// a valid support record as its resource, as the shipped setup does.
#pragma once

#include "setup/MainForm.h"
#include "tests/setup/FakeControls.h"
#include "tests/setup/FakeDesktop.h"

#include <gtest/gtest.h>

#include <memory>

// Reserved field, name, description, author, creation date (20 February 1999, 11:11:29).
inline const std::string SampleRecord =
    "PVD1\tEnglishGerman\tGeneral English-German\tParlavox Team\t36211.466317";

class WizardTest : public ::testing::Test {
protected:
    WizardTest() { Desktop.Resources["PARLAVOX/SUPPORT"] = SampleRecord; }

    // Creates the form as the program does: construction, then FormCreate with its error display.
    TMainForm& Start() {
        Form = std::make_unique<TMainForm>(Controls, Desktop);
        Form->AfterConstruction();
        return *Form;
    }
    std::string Text(TControlName name) const { return Controls.Texts.at(name); }

    TCallLog Log;
    TFakeControls Controls{Log};
    TFakeDesktop Desktop{Log};
    std::unique_ptr<TMainForm> Form;
};
