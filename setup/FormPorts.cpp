// Names of the form's controls, for recording fakes and diagnostics, and the start routes.
#include "setup/FormPorts.h"

std::vector<TStartRoute> StartRoutes(bool elevated) {
    if (elevated) return {TStartRoute::DesktopShell};
    return {TStartRoute::Direct};
}

const char* ControlNameText(TControlName name) {
    switch (name) {
    case TControlName::Notebook:
        return "Notebook";
    case TControlName::BackButton:
        return "BackButton";
    case TControlName::NextButton:
        return "NextButton";
    case TControlName::CancelButton:
        return "CancelButton";
    case TControlName::Welcome:
        return "Welcome";
    case TControlName::Label2:
        return "Label2";
    case TControlName::GroupBox1:
        return "GroupBox1";
    case TControlName::DictionaryDirectoryButton:
        return "DictionaryDirectoryButton";
    case TControlName::Image1:
        return "Image1";
    case TControlName::Label3:
        return "Label3";
    case TControlName::ProgressBar:
        return "ProgressBar";
    case TControlName::ProgressBarLabel:
        return "ProgressBarLabel";
    case TControlName::Label5:
        return "Label5";
    case TControlName::GroupBox2:
        return "GroupBox2";
    case TControlName::PVDirectoryButton:
        return "PVDirectoryButton";
    case TControlName::PVDirectory:
        return "PVDirectory";
    case TControlName::DictionaryDirectory:
        return "DictionaryDirectory";
    case TControlName::Label1:
        return "Label1";
    case TControlName::Label4:
        return "Label4";
    case TControlName::Author:
        return "Author";
    case TControlName::Created:
        return "Created";
    case TControlName::Label6:
        return "Label6";
    case TControlName::Description:
        return "Description";
    case TControlName::OpenDictionary:
        return "OpenDictionary";
    }
    return "?";
}
