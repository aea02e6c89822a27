// The field splitter of the support record: TKoStringParser walks a text field by field, split at
// a one-character separator, and TKoAnsiParser is the class the wizard instantiates. Numbers are
// read with "." as the decimal separator whatever the user's locale, without touching any
// process-wide setting.
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <string>

// A field that is empty or not a decimal number.
class EConvertError : public Exception {
    using Exception::Exception;
};

class TKoStringParser {
public:
    TKoStringParser(const std::string& text, char separator);

    // Starts splitting text from its beginning.
    void SetText(const std::string& text);
    // The next field; empty for two adjacent separators and once the text is used up.
    std::string NextString();
    // The next field as a decimal number with "." as its separator; raises EConvertError.
    double NextFloat();

protected:
    int32_t ReadIndex = 0; // 1-based index of the next character
    int32_t Limit = 0;     // length of Content plus one
    char Separator;
    std::string Content;
};

class TKoAnsiParser : public TKoStringParser {
public:
    using TKoStringParser::TKoStringParser;
};

// Converts decimal notation ("-12.5", "3e2", surrounding blanks allowed) to a double with "."
// as the only decimal separator; raises EConvertError for anything else.
double StrToFloatInvariant(const std::string& text);
