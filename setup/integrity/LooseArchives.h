// The archives a setup takes from beside itself when it does not carry them (NAME.vl2, NAME.vl3).
// The template takes them as they are: nothing signs them together with it. A made setup vouches
// for one only when its publisher recorded the file's SHA-256 at make-setup (a "FILE" line of
// the digests) and the file has it: the publisher's signature covers the setup, not a file
// someone may have put beside it in a Downloads folder. The file is read through a handle that
// nobody may write to, rename or delete while it is open, and in pieces, so that a check never
// holds the whole file in memory and what was checked is what is expanded through that handle.
#pragma once

#include "platform/Exception.h"
#include "platform/Stream.h"
#include "setup/integrity/SetupDigests.h"

#include <memory>
#include <optional>
#include <string>

class TFiles;

// A made setup refuses the file beside it.
class ELooseArchive : public Exception {
    using Exception::Exception;
};

// The fallback number of an archive resource's name: 2 for DICTIONARY, 3 for VELLUMOR, else 0.
int FallbackNumberOf(const std::string& archiveName);

// Opens the file at path for an archive and checks it: a made setup (madeSetup) takes only the
// file recorded (its size and SHA-256), the template any. nullptr when there is no file to take;
// raises ELooseArchive, saying why, when a made setup must not take it (another size or SHA-256,
// a file of which nothing was recorded, or a recorded file that is missing) or the file cannot be
// opened. The stream is at its start.
std::unique_ptr<TStream> OpenLooseArchive(TFiles& files, const std::string& path, bool madeSetup,
                                          const std::optional<TResourceDigest>& recorded);
