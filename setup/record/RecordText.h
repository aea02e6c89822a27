// The support record's encoding. A record is UTF-8 or, as the first setups read it, text in the
// ANSI code page of a Windows machine; a byte-order mark is not always there, so the bytes decide:
//   - they start with the UTF-8 byte-order mark EF BB BF: UTF-8 (the mark is not part of the text);
//   - else, when they are valid UTF-8: UTF-8 (text of ASCII alone reads the same either way; a
//     text in an ANSI code page with letters beyond ASCII is practically never valid UTF-8);
//   - else: ANSI, in the code page given (the machine's, AnsiCodePage()).
// make-setup stores the record as UTF-8 without a mark, so a made setup reads its record the same
// on every machine; a NAME.vl1 beside the setup is read as it is, by the same rule.
#pragma once

#include <string>
#include <string_view>

enum class TRecordEncoding { Utf8WithMark, Utf8, Ansi };

TRecordEncoding RecordEncodingOf(std::string_view bytes);

// The record's text as UTF-8, without a byte-order mark. A record with the mark whose rest is not
// UTF-8 is damaged: its bytes are then taken as ANSI, so that nothing of it is lost and the result
// is UTF-8 all the same.
std::string RecordTextToUtf8(std::string_view bytes, unsigned ansiCodePage);
