#include "tools/qdmx/CommandSupport.h"

#include "tools/qdmx/Commands.h"
#include "tools/qdmx/Console.h"
#include "tools/qdmx/MemberNames.h"
#include "tools/qdmx/Methods.h"

#include "compress/archive/ArchiveFormat.h"
#include "platform/text/TextEncoding.h"

#include <cstdio>

namespace qdmx {

int32_t KeyFromOption(const std::string& text) {
    if (text.empty()) return 0;
    auto key = ParseKey(text);
    if (!key)
        throw EUsageError{"invalid key '" + text + "' (a non-zero 32-bit number, decimal or 0x hexadecimal)"};
    return *key;
}

uint8_t CompressMethodFromOption(const std::string& name) {
    if (name.empty()) {
        // The best compressor available, decided at run time so that a build that gains the
        // LH5 or LZH compressor uses it without any change here.
        for (uint8_t method : {miLH5, miLZH, miRLE})
            if (MethodAvailable(method, false)) return method;
        return miStored;
    }
    auto index = MethodIndexOfName(name);
    if (!index) throw EUsageError{"unknown method '" + name + "' (use none, rle, lzh or lh5)"};
    if (!MethodAvailable(*index, false))
        throw EUsageError{"method '" + name + "' cannot compress in this build"};
    return *index;
}

unsigned CodePageFromOption(unsigned codePage, const std::string& option) {
    if (codePage == 0) return AnsiCodePage();
    try {
        CodePageToUtf8("\xC4", codePage);
    } catch (const Exception&) {
        throw EUsageError{option + " " + std::to_string(codePage) +
                          ": not a code page this machine can convert"};
    }
    return codePage;
}

std::unique_ptr<TFileStream> OpenArchiveFile(const std::string& path) {
    auto file = TFileStream::OpenRead(path);
    if (file->Size() < ArchiveHeaderSize) throw Exception("not an archive (shorter than an archive header)");
    return file;
}

void ReportError(const std::string& subject, const std::string& message) {
    PrintText(stderr, "qdmx: %s: %s\n", subject.c_str(), message.c_str());
}

} // namespace qdmx
