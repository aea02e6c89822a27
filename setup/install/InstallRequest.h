// What an installation is given: the request (what to install where, from the wizard's pages or
// the command line) and the package (what the running setup carries, as its start found it).
#pragma once

#include "setup/integrity/SetupDigests.h"

#include <optional>
#include <string>
#include <vector>

// What is to be installed where: the wizard's pages, or the command line of the unattended run.
struct TInstallRequest {
    // The Vellumor base folder; Vellumor goes into its "VL" folder.
    std::string BaseDirectory;
    std::string DictionaryDirectory;
    // Start Vellumor on the installed project at the end.
    bool LaunchVellumor = true;
};

// What the running setup carries besides its archives, as its start-up found it.
struct TSetupPackage {
    // The executable's folder (without a trailing "\" unless a drive's root) and its file name
    // without the extension.
    std::string SetupDirectory;
    std::string SetupBaseName;
    // The support record's fields.
    std::string DictionaryName;
    std::string Description;
    std::string Author;
    double Created = 0;
    // A made setup (one that carries digests) takes a fallback archive only when its publisher
    // recorded it (LooseArchives.h); the template takes the files as they are.
    bool MadeSetup = false;
    std::vector<TResourceDigest> LooseFiles;

    // The file beside the executable that stands in for a missing resource: 1 the support record,
    // 2 the dictionary archive, 3 the Vellumor archive (SetupDirectory\SetupBaseName.vlN).
    std::string FallbackFileName(int number) const {
        return SetupDirectory + "\\" + SetupBaseName + ".vl" + std::to_string(number);
    }
    // What was recorded of the archive of that name beside the setup; nothing when nothing was.
    std::optional<TResourceDigest> LooseFile(const std::string& archiveName) const {
        for (const TResourceDigest& file : LooseFiles)
            if (file.Name == archiveName) return file;
        return std::nullopt;
    }
};
