// The support record that a setup carries: one tab-separated line of a reserved field, the
// dictionary's name, its description, its author and its creation date as a date-time number.
#pragma once

#include "platform/text/TextEncoding.h"

#include <optional>
#include <string>

struct TSupportRecord {
    std::string DictionaryName;
    std::string Description;
    std::string Author;
    // Nothing when the date is missing, not a number with "." as its separator, or outside the
    // calendar: the record is then invalid, though the texts before it were read.
    std::optional<double> Created;
};

// Splits a record into its fields, as UTF-8 whatever the record's encoding (record/RecordText.h:
// UTF-8 with or without a byte-order mark, or ANSI in ansiCodePage); fields past the fifth are
// ignored.
TSupportRecord ParseSupportRecord(const std::string& text, unsigned ansiCodePage = AnsiCodePage());
