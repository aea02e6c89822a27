// Code pages through the C library's iconv, which knows the Windows code pages by the names
// "CP1252", "CP932", "CP1251" and so on.
#include "platform/text/TextEncoding.h"

#include "platform/Exception.h"

#include <cerrno>
#include <iconv.h>

namespace {
constexpr unsigned DefaultAnsiCodePage = 1252;
constexpr std::string_view Replacement = "\xEF\xBF\xBD"; // U+FFFD

class TIconv {
public:
    explicit TIconv(unsigned codePage)
        : Handle(iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str())) {
        if (Handle == reinterpret_cast<iconv_t>(-1))
            throw Exception("Code page " + std::to_string(codePage) + " is not known on this machine");
    }
    ~TIconv() { iconv_close(Handle); }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    iconv_t Handle;
};
} // namespace

unsigned AnsiCodePage() {
    return DefaultAnsiCodePage;
}

std::string CodePageToUtf8(std::string_view text, unsigned codePage) {
    if (IsAscii(text)) return std::string(text);
    TIconv converter(codePage);
    std::string result;
    char buffer[256];
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter.Handle, &in, &inLeft, &out, &outLeft);
        result.append(buffer, static_cast<size_t>(out - buffer));
        if (done != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // A byte the code page does not define (EILSEQ), or a lead byte at the end (EINVAL):
        // one replacement character, and on after it.
        result.append(Replacement);
        ++in;
        --inLeft;
        iconv(converter.Handle, nullptr, nullptr, nullptr, nullptr);
    }
    return result;
}
