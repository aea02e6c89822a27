// The support record's fields, read in their order.
#include "setup/record/SupportRecord.h"

#include "setup/record/DateTimeText.h"
#include "setup/record/KoParser.h"
#include "setup/record/RecordText.h"

TSupportRecord ParseSupportRecord(const std::string& text, unsigned ansiCodePage) {
    TKoAnsiParser parser(RecordTextToUtf8(text, ansiCodePage), '\t');
    parser.NextString(); // reserved
    TSupportRecord record;
    record.DictionaryName = parser.NextString();
    record.Description = parser.NextString();
    record.Author = parser.NextString();
    try {
        const double created = parser.NextFloat();
        DecodeDateTime(created); // a date the calendar has, or the record is invalid
        record.Created = created;
    } catch (const EConvertError&) {
    }
    return record;
}
