#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// What the update file's own check found wrong first.
enum class FormatFault {
    None,                 // the file is sound
    TooManyDigits,        // a line holds more hex digits than a line of its kind may
    TooFewDigits,         // a line holds fewer hex digits than its record (or kind) needs
    RecordTooLong,        // a record announces more data bytes than a record holds
    Checksum,             // a record's checksum byte is not the sum of its data bytes
    LineSum,              // a line's bytes do not sum to FF
    NotHexDigit,          // a character other than a hex digit on a line
    EmptyLine,            // an empty line where every line holds hex digits
    NoLineEnd,            // the last line has no line end
    ByteTotal,            // the information record's byte total differs from the bytes before it
    InformationTooShort,  // the information record holds too few data bytes
    StringOverrun,        // a text of the information record runs past its end
    NoVersionLetter,      // the version text holds no "V" before the number
    NoInformation,        // the file ends without its information record
};

// The outcome of the update-file check: sound, or the first fault, the family whose check found
// it and the line it sits on, counted from 1 as a text editor counts them.
struct FileCheck {
    FormatFault fault = FormatFault::None;
    int family = 0;
    std::int32_t line = 0;
    // What the file states and what the check found instead: the checksum byte and the data
    // bytes' sum; the declared byte total and the real one; the digits needed (or allowed) and
    // those on the line; the announced data length and the most a record holds; the column of a
    // character that is not a hex digit and that character.
    std::int64_t stated = 0;
    std::int64_t found = 0;
    // The version text of a NoVersionLetter fault.
    std::string text;

    bool sound() const { return fault == FormatFault::None; }
};

}  // namespace korvane
