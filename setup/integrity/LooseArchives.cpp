#include "setup/integrity/LooseArchives.h"

#include "platform/digest/Sha256.h"
#include "setup/FormPorts.h"

int FallbackNumberOf(const std::string& archiveName) {
    if (archiveName == "DICTIONARY") return 2;
    if (archiveName == "VELLUMOR") return 3;
    return 0;
}

std::unique_ptr<TStream> OpenLooseArchive(TFiles& files, const std::string& path, bool madeSetup,
                                          const std::optional<TResourceDigest>& recorded) {
    const bool present = files.FileExists(path);
    if (madeSetup && !recorded) {
        if (!present) return nullptr;
        throw ELooseArchive(path + " is not from this setup's publisher: the setup recorded no such file, "
                                   "so it installs none");
    }
    if (!present) {
        if (!madeSetup) return nullptr;
        throw ELooseArchive(path + " is missing: the setup's publisher ships it beside the setup");
    }
    std::unique_ptr<TStream> file;
    try {
        file = files.OpenFileRead(path);
    } catch (const Exception& e) {
        throw ELooseArchive(path + " cannot be read: " + e.Message);
    }
    if (!madeSetup) return file;
    // The size first, so that a file of another size is refused without reading it.
    const int64_t size = file->Size();
    if (size < 0 || static_cast<uint64_t>(size) != recorded->Size)
        throw ELooseArchive(path +
                            " is not the file this setup's publisher shipped: " + std::to_string(size) +
                            " bytes, the setup recorded " + std::to_string(recorded->Size));
    const std::string found = Sha256Hex(*file);
    if (found != recorded->Sha256)
        throw ELooseArchive(path + " is not the file this setup's publisher shipped: its SHA-256 is " +
                            found + ", the setup recorded " + recorded->Sha256);
    file->Seek(0, TSeekOrigin::Begin);
    return file;
}
