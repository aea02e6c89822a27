// What becomes of a file that already exists where a member is about to be expanded: Vellumor's
// two user files are never replaced, an installed file newer than its member is replaced only when
// the user agrees, and every other file is written over.
#pragma once

#include "compress/Archiver.h"

#include <functional>
#include <string>

class TFiles;

enum class TExistingFileChoice { Write, KeepUserFile, KeepNewer };

// Puts the question whether to replace a newer installed file; true when the answer allows it.
using TReplaceQuestion = std::function<bool(const std::string& question)>;

// The choice for the existing file at path. members: the directory of the archive being expanded,
// whose first entry of the file's name (letter case ignored) gives the member's time; with none,
// only the user files are kept. Raises ETimeStampError when the installed file's time cannot be read.
TExistingFileChoice DecideExistingFile(TFiles& files, const std::string& path, const TDirectoryList* members,
                                       const TReplaceQuestion& agreesToReplace);
