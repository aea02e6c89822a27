// Helpers that the archive subcommands share: key and method options, opening an archive, and
// reporting a failure with the name it concerns.
#pragma once

#include "platform/files/FileStream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qdmx {

// The key of a -k option: 0 when the option is empty; EUsageError when it is malformed or 0.
int32_t KeyFromOption(const std::string& text);
// The method of a -m option for compressing; empty chooses the best method this build has.
uint8_t CompressMethodFromOption(const std::string& name);
// The Windows code page of a --names-codepage or --record-codepage option: the machine's ANSI code
// page for 0 (not given); EUsageError naming the option when this machine cannot convert it.
unsigned CodePageFromOption(unsigned codePage, const std::string& option);
// Opens an archive for reading; raises Exception when it is too short to hold an archive header.
std::unique_ptr<TFileStream> OpenArchiveFile(const std::string& path);
// Prints "qdmx: SUBJECT: MESSAGE" on standard error (tools/qdmx/Console.h).
void ReportError(const std::string& subject, const std::string& message);

} // namespace qdmx
