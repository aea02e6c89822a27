// Reading the archive header and member headers, and resolving method identifiers.
#include "compress/Archiver.h"

#include "compress/codecs/CodecState.h"

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
    if (SignatureText(header) != ArchiveSignature) throw EInvalidHeader("Can't recognize compressed file header");
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

bool TArchiver::ReadMemberHeader(TStream& stream, TMemberHeader& header, std::string& name) {
    uint8_t bytes[MemberHeaderSize];
    if (stream.Read(bytes, MemberHeaderSize) < MemberHeaderSize) return false;
    header = DecodeMemberHeader(bytes);
    // A negative name length cannot come from a writer; like a cut header it ends the archive.
    if (header.NameLength < 0) return false;
    name.assign(static_cast<size_t>(header.NameLength), '\0');
    return stream.Read(name.data(), header.NameLength) == header.NameLength;
}
