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
    case TControlName::DictionaryPrompt:
        return "DictionaryPrompt";
    case TControlName::DictionaryGroup:
        return "DictionaryGroup";
    case TControlName::DictionaryDirectoryButton:
        return "DictionaryDirectoryButton";
    case TControlName::Picture:
        return "Picture";
    case TControlName::PackageTitle:
        return "PackageTitle";
    case TControlName::ProgressBar:
        return "ProgressBar";
    case TControlName::ProgressBarLabel:
        return "ProgressBarLabel";
    case TControlName::VellumorPrompt:
        return "VellumorPrompt";
    case TControlName::VellumorGroup:
        return "VellumorGroup";
    case TControlName::PVDirectoryButton:
        return "PVDirectoryButton";
    case TControlName::PVDirectory:
        return "PVDirectory";
    case TControlName::DictionaryDirectory:
        return "DictionaryDirectory";
    case TControlName::AuthorCaption:
        return "AuthorCaption";
    case TControlName::CreatedCaption:
        return "CreatedCaption";
    case TControlName::Author:
        return "Author";
    case TControlName::Created:
        return "Created";
    case TControlName::DescriptionCaption:
        return "DescriptionCaption";
    case TControlName::Description:
        return "Description";
    case TControlName::OpenDictionary:
        return "OpenDictionary";
    }
    return "?";
}

std::string ProgramNames(const std::vector<std::string>& programs) {
    std::string names;
    for (const std::string& program : programs) names += (names.empty() ? "" : ", ") + program;
    return names;
}

std::string CloseProgramsQuestion(const std::vector<std::string>& programs, const std::string& files,
                                  const std::string& otherwise) {
    const bool one = programs.size() == 1;
    return ProgramNames(programs) + (one ? " is running and uses" : " are running and use") + " files " +
           files + ". Close " + (one ? "it" : "them") + " and continue? (No: " + otherwise + ")";
}
