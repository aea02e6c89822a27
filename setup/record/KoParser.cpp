// Splitting the support record into fields and converting the date field. The conversion checks
// the notation itself and then hands it to DecimalToDouble, which never consults the locale, so
// no process-wide decimal separator is saved, changed or restored.
#include "setup/record/KoParser.h"

#include "setup/record/DecimalToDouble.h"

TKoStringParser::TKoStringParser(const std::string& text, char separator) : Separator(separator) {
    SetText(text);
}

void TKoStringParser::SetText(const std::string& text) {
    Content = text;
    Limit = static_cast<int32_t>(Content.size()) + 1;
    ReadIndex = 1;
}

std::string TKoStringParser::NextString() {
    if (Content.empty()) return {};
    const int32_t start = ReadIndex;
    while (ReadIndex < Limit && Content[static_cast<size_t>(ReadIndex - 1)] != Separator) ++ReadIndex;
    std::string result;
    if (ReadIndex > start)
        result = Content.substr(static_cast<size_t>(start - 1), static_cast<size_t>(ReadIndex - start));
    if (ReadIndex < Limit + 1) ++ReadIndex;
    return result;
}

double TKoStringParser::NextFloat() {
    return StrToFloatInvariant(NextString());
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ';
}

[[noreturn]] void Invalid(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid floating point value");
}

} // namespace

double StrToFloatInvariant(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;

    // [sign] digits [. digits] [(e|E) [sign] digits], with at least one mantissa digit.
    size_t i = first;
    if (i < last && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < last && IsDigit(text[i])) ++i, ++digits;
    if (i < last && text[i] == '.') {
        ++i;
        while (i < last && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) Invalid(text);
    if (i < last && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < last && (text[i] == '+' || text[i] == '-')) ++i;
        size_t exponentDigits = 0;
        while (i < last && IsDigit(text[i])) ++i, ++exponentDigits;
        if (exponentDigits == 0) Invalid(text);
    }
    if (i != last) Invalid(text);

    const std::optional<double> value = DecimalToDouble(std::string_view(text).substr(first, last - first));
    if (!value) Invalid(text);
    return *value;
}
