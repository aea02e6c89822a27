// libFuzzer target of the support record's parsing: the field splitter (TKoAnsiParser), the
// locale-independent number conversion and the date decoding that the wizard applies to the
// record's fifth field. Findings: fields that do not put the record back together, a number
// conversion that accepts a text it should refuse (or gives a non-finite value), date parts out
// of their ranges, and any exception but EConvertError.
#include "setup/record/DateTimeText.h"
#include "setup/record/KoParser.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string record(reinterpret_cast<const char*>(data), size);
    TKoAnsiParser parser(record, '\t');
    // The fields, joined by the separator again, give back the whole record.
    std::string joined;
    size_t fields = 1;
    for (char c : record) fields += c == '\t';
    for (size_t i = 0; i < fields; ++i) joined += (i ? "\t" : "") + parser.NextString();
    if (!record.empty() && joined != record) std::abort();
    for (int i = 0; i < 3; ++i)
        if (!parser.NextString().empty()) std::abort();

    TKoAnsiParser fifth(record, '\t');
    for (int i = 0; i < 4; ++i) fifth.NextString();
    try {
        const double value = fifth.NextFloat();
        if (!std::isfinite(value)) std::abort();
        const TDateTimeParts p = DecodeDateTime(value);
        if (p.Year < 1 || p.Year > 9999 || p.Month < 1 || p.Month > 12 || p.Day < 1 || p.Day > 31 ||
            p.Hour < 0 || p.Hour > 23 || p.Minute < 0 || p.Minute > 59 || p.Second < 0 || p.Second > 59 ||
            p.Millisecond < 0 || p.Millisecond > 999)
            std::abort();
    } catch (const EConvertError&) {
    }
    return 0;
}
