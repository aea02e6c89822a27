// The setup's start, which the wizard and the unattended run both go through before anything
// else: where the running executable lies, whether the data embedded in it is whole (its digests)
// and the archives its publisher ships beside it are the ones recorded (LooseArchives.h), and its
// support record, found as the resource "PARLAVOX"/"SUPPORT" or in the fallback file beside the
// executable, and parsed. The presenters show what it finds: the wizard on its Welcome
// page or in a box, the unattended run in its log.
#pragma once

#include "setup/FormPorts.h"
#include "setup/install/InstallRequest.h"
#include "setup/record/SupportRecord.h"

#include <optional>
#include <string>

class TArchiver;
class TRunNotes;

enum class TStartStatus {
    Ready,
    // The embedded data does not match its digests.
    Damaged,
    // Neither the resource nor the fallback file holds a support record.
    RecordMissing,
    // The record was read, but its date is missing or not a date (its texts before it were read).
    RecordInvalid,
};

struct TStartOutcome {
    TStartStatus Status = TStartStatus::Ready;
    // The error message for the person at the desktop; empty when ready.
    std::string Message;
};

class TSetupSession {
public:
    TSetupSession(TModule& module, TFiles& files, const TRunNotes& note)
        : Module(module), Files(files), Note(note) {}

    // Finds the executable's folder and name, checks the digests (archiver opens the archive
    // resources) and reads and parses the support record. Raises EInOutError when the fallback
    // file exists but cannot be read.
    TStartOutcome Start(TArchiver& archiver);

    const TSupportRecord& Support() const { return FSupport; }
    // What the installation needs of it: the folder, the name and the record's fields.
    const TSetupPackage& Package() const { return FPackage; }
    const std::string& SetupDirectory() const { return FPackage.SetupDirectory; }
    const std::string& SetupBaseName() const { return FPackage.SetupBaseName; }
    std::string GetFallbackFileName(int number) const { return FPackage.FallbackFileName(number); }

    // The file-name part of a path without its extension: setup.exe gives setup, a.b.exe gives a.b.
    static std::string ExtractFileBaseName(const std::string& path);

private:
    // Notes what the digests record of the archives beside the setup and checks each file a made
    // setup would take from there: nothing when all are acceptable, else why not.
    std::optional<std::string> CheckLooseArchives(TArchiver& archiver);
    // The record's text, or nothing when there is none.
    std::optional<std::string> LoadSupportRecord();

    TModule& Module;
    TFiles& Files;
    const TRunNotes& Note;
    TSupportRecord FSupport;
    TSetupPackage FPackage;
};
