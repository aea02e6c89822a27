// Reading the archive header and member headers, and resolving method identifiers.
#include "compress/Archiver.h"

#include "compress/archive/FileNames.h"
#include "compress/codecs/CodecState.h"
#include "platform/text/TextEncoding.h"

TArchiver::TArchiver() : State(std::make_unique<TCodecState>()) {}
TArchiver::~TArchiver() = default;

TArchiveHeader TArchiver::ReadArchiveHeader(TStream& stream, std::string& methodID) {
    methodID.resize(3);
    if (stream.Remaining() < ArchiveHeaderSize) {
        TArchiveHeader header;
        header.ArchiveType = atMulti;
        header.LockMark = Key > 0 ? 2 : 0;
        return header;
    }
    uint8_t bytes[ArchiveHeaderSize];
    if (stream.Read(bytes, ArchiveHeaderSize) != ArchiveHeaderSize)
        throw EInvalidHeader("Can't recognize compressed file header");
    TArchiveHeader header = DecodeArchiveHeader(bytes);
    if (SignatureText(header) != ArchiveSignature)
        throw EInvalidHeader("Can't recognize compressed file header");
    if (header.ArchiveType != atMulti) throw EInvalidHeaderArchiveType("Archive type must be atMulti");
    methodID.assign(header.MethodID.begin(), header.MethodID.end());
    RecognizeMethod(methodID);
    return header;
}

uint8_t TArchiver::RecognizeMethod(const std::string& methodID) {
    for (uint8_t i = 0; i < MethodIdentifiers.size(); ++i)
        if (methodID == MethodIdentifiers[i]) return i;
    if (OnRecognize) {
        bool recognized = false;
        OnRecognize(methodID, recognized);
        if (recognized) return miCustom;
    }
    throw EUnrecognizedCompressionMethod("Unrecognized compression method: \"" + methodID + "\" in header");
}

namespace {
// Control characters (codes 0 to 31 and 127) cut a name short or change it in every Windows
// call, so that the file written would not be the member named.
bool HasControlCharacter(const std::string& name) {
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}
} // namespace

// A short header or name ends the archive (false). Values that no writer produces end it with
// EDamagedArchive, before anything trusts them: a negative name length (checked before the name
// is read), a name holding a control character, a name marked UTF-8 that is not, a negative
// expanded or compressed size, and stored data that would run past the end of the stream
// (checked once the name is read, so the message can name the member). A name without the mark
// is converted from NamesCodePage, so that every name leaves here as UTF-8.
bool TArchiver::ReadMemberHeader(TStream& stream, TMemberHeader& header, std::string& name) {
    int64_t offset = stream.Position();
    uint8_t bytes[MemberHeaderSize];
    if (stream.Read(bytes, MemberHeaderSize) < MemberHeaderSize) return false;
    header = DecodeMemberHeader(bytes);
    if (header.NameLength < 0)
        throw EDamagedArchive("member header at offset " + std::to_string(offset) +
                              " has a negative name length (" + std::to_string(header.NameLength) + ")");
    name.assign(static_cast<size_t>(header.NameLength), '\0');
    if (stream.Read(name.data(), header.NameLength) != header.NameLength) return false;
    if (!header.Utf8Name && !IsAscii(name)) name = CodePageToUtf8(name, NamesCodePage);
    const std::string member = "member \"" + PrintableName(name) + "\"";
    if (HasControlCharacter(name)) throw EDamagedArchive(member + " has a control character in its name");
    if (!IsValidUtf8(name)) throw EDamagedArchive(member + " has a name marked as UTF-8 that is not UTF-8");
    if (header.ExpandedSize < 0)
        throw EDamagedArchive(member + " has a negative expanded size (" +
                              std::to_string(header.ExpandedSize) + ")");
    if (header.CompressedSize < 0)
        throw EDamagedArchive(member + " has a negative compressed size (" +
                              std::to_string(header.CompressedSize) + ")");
    if (header.CompressedSize > stream.Remaining())
        throw EDamagedArchive(member + " has " + std::to_string(header.CompressedSize) +
                              " bytes of stored data but only " + std::to_string(stream.Remaining()) +
                              " remain in the archive");
    return true;
}
