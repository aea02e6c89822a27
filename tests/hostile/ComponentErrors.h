// Names the exception classes that the archive component and the codecs raise on purpose, so that
// the hostile, mutation and failure-injection tests can tell a documented failure from anything
// else (a standard-library exception, an allocation failure, an unnamed Exception).
#pragma once

#include "compress/Archiver.h"
#include "compress/archive/ArchiveFormat.h"
#include "compress/codecs/lh5/expand/Lh5Expand.h"
#include "compress/dense/DenseMethod.h"

#include <exception>
#include <string>

// The class name of a component or platform exception; "" for anything else.
inline std::string ComponentClassOf(const std::exception& e) {
    if (dynamic_cast<const EDamagedArchive*>(&e)) return "EDamagedArchive";
    if (dynamic_cast<const EInvalidHeader*>(&e)) return "EInvalidHeader";
    if (dynamic_cast<const EInvalidHeaderArchiveType*>(&e)) return "EInvalidHeaderArchiveType";
    if (dynamic_cast<const EUnrecognizedCompressionMethod*>(&e)) return "EUnrecognizedCompressionMethod";
    if (dynamic_cast<const EBadChecksum*>(&e)) return "EBadChecksum";
    if (dynamic_cast<const EInvalidKey*>(&e)) return "EInvalidKey";
    if (dynamic_cast<const ELh5BadDecodeTable*>(&e)) return "ELh5BadDecodeTable";
    if (dynamic_cast<const EDenseDataError*>(&e)) return "EDenseDataError";
    if (dynamic_cast<const EInsufficientDiskSpace*>(&e)) return "EInsufficientDiskSpace";
    if (dynamic_cast<const EUnableToCompress*>(&e)) return "EUnableToCompress";
    if (dynamic_cast<const EStreamError*>(&e)) return "EStreamError";
    if (dynamic_cast<const EFCreateError*>(&e)) return "EFCreateError";
    if (dynamic_cast<const EFOpenError*>(&e)) return "EFOpenError";
    if (dynamic_cast<const EInOutError*>(&e)) return "EInOutError";
    return "";
}

// The failures a damaged archive may cause while it is listed or expanded: the header and
// member-header errors, the checksum and key checks, the lh5 table check and the dense method's
// stream errors.
inline bool IsDamagedDataError(const std::string& cls) {
    return cls == "EDamagedArchive" || cls == "EInvalidHeader" || cls == "EInvalidHeaderArchiveType" ||
           cls == "EUnrecognizedCompressionMethod" || cls == "EBadChecksum" || cls == "EInvalidKey" ||
           cls == "ELh5BadDecodeTable" || cls == "EDenseDataError";
}
