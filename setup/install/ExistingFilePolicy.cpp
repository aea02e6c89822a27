// The existing-file policy.
#include "setup/install/ExistingFilePolicy.h"

#include "setup/PathText.h"
#include "setup/install/KoStamp.h"

namespace {
const char* const ProtectedNames[] = {"velmor.pvm", "velmor.pvl"};
} // namespace

TExistingFileChoice DecideExistingFile(TFiles& files, const std::string& path, const TDirectoryList* members,
                                       const TReplaceQuestion& agreesToReplace) {
    const std::string name = ExtractFileName(path);
    for (const char* protectedName : ProtectedNames)
        if (SameText(name, protectedName)) return TExistingFileChoice::KeepUserFile;
    if (!members) return TExistingFileChoice::Write;
    const TMemberInfo* member = nullptr;
    for (const TDirectoryEntry& entry : *members) {
        if (SameText(entry.Name, name)) {
            member = entry.Info.get();
            break;
        }
    }
    if (!member) return TExistingFileChoice::Write;
    // Packed times order by time as unsigned numbers: from 2044 on the year sets the top bit.
    const auto memberTime = static_cast<uint32_t>(member->DateTime);
    const auto fileTime = static_cast<uint32_t>(::GetFileTimeStamp(files, path));
    if (memberTime >= fileTime) return TExistingFileChoice::Write;
    const std::string question = "The current " + path + " is newer than the file to be installed!" + '\n' +
                                 "Overwrite the current file?";
    return agreesToReplace(question) ? TExistingFileChoice::Write : TExistingFileChoice::KeepNewer;
}
