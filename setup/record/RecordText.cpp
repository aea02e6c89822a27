#include "setup/record/RecordText.h"

#include "platform/text/TextEncoding.h"

namespace {
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
} // namespace

TRecordEncoding RecordEncodingOf(std::string_view bytes) {
    if (bytes.starts_with(Utf8Mark)) return TRecordEncoding::Utf8WithMark;
    return IsValidUtf8(bytes) ? TRecordEncoding::Utf8 : TRecordEncoding::Ansi;
}

std::string RecordTextToUtf8(std::string_view bytes, unsigned ansiCodePage) {
    if (bytes.starts_with(Utf8Mark)) bytes.remove_prefix(Utf8Mark.size());
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return CodePageToUtf8(bytes, ansiCodePage);
}
