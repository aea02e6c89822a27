// The digests a made setup carries of its embedded data, as the resource "PARLAVOX"/"DIGESTS":
// one text line per resource (type, name, size and CRC-32, TAB-separated) after a signature line.
// qdmx make-setup writes them; the setup programs check them before their first page (or, when
// silent, before anything is written), so that a damaged download is refused as a whole instead
// of failing in the middle of an installation. For the embedded data they guard against damage,
// not against an attacker: the publisher's signature covers the whole file. An archive that the
// publisher ships beside the setup instead has a line of the type "FILE" with a fifth field, its
// SHA-256, since the signature does not cover it (LooseArchives.h); lines of four fields, as
// older setups carry, read as before.
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TArchiver;
class TModule;

inline const char* const DigestsResourceType = "PARLAVOX";
inline const char* const DigestsResourceName = "DIGESTS";
// The type of a line for an archive beside the setup; its name is the archive's (VELLUMOR).
inline const char* const LooseFileType = "FILE";

struct TResourceDigest {
    std::string Type, Name;
    uint64_t Size = 0;
    uint32_t Crc = 0;
    // Lowercase hexadecimal; empty on the lines of embedded resources.
    std::string Sha256;
};

// The digests text cannot be read.
class EDigestsFormat : public Exception {
    using Exception::Exception;
};

TResourceDigest DigestOf(const std::string& type, const std::string& name, const uint8_t* bytes, size_t size);
std::string DigestsText(const std::vector<TResourceDigest>& digests);
// Raises EDigestsFormat when the text is not a digests list.
std::vector<TResourceDigest> ParseDigests(const std::string& text);

// Whether a resource of this type and name belongs under the digests: every archive and the
// support record.
bool IsDigestedResource(const std::string& type, const std::string& name);

// The running setup's digests; nothing when it carries none (the template). Raises EDigestsFormat.
std::optional<std::vector<TResourceDigest>> LoadSetupDigests(TModule& module);

// Checks the running setup's embedded data against its digests: nothing when it is whole (or
// carries no digests, as the template and setups made before digests existed), else what is
// wrong, for the log.
std::optional<std::string> FindSetupDamage(TModule& module, TArchiver& archiver);
