#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_check.h"
#include "engine/report_sink.h"
#include "platform/regular_file.h"

namespace korvane {

// The update file as the job holds it for one update.
struct UpdateFile {
    std::vector<std::uint8_t> data;  // the whole file, exactly as stored
    std::int32_t size = 0;
    std::uint8_t family = 0;  // 1 block download, 2 line download; set by the check that accepted
    std::int32_t lineCount = 0;
    double progressStep = 0.0;  // 90.0 / lineCount
    char productText[128] = {};
    char modelName[128] = {};
    char versionText[128] = {};
    std::int32_t fileVersion = 0;

    // Drops the buffer (data and size); the decoded fields stay. Harmless when already released.
    void release();
};

// Files shorter than this are refused before the check with kFileInvalidText.
inline constexpr std::int32_t kMinUpdateFileSize = 138;
// Files larger than this are refused the same way, before they are read. No sound update file
// comes near it: family-2 data lines are numbered in 16 bits below the information line's
// 0xFFF1, so the longest family-2 file is 65,522 lines of 138 bytes (9,042,036 bytes, about 4 MiB
// of firmware); the same firmware as family-1 records of 130 data bytes (272 bytes a line) is
// about 8.8 MB. 16 MiB leaves room for harmless padding between records.
inline constexpr std::int32_t kMaxUpdateFileSize = 16 * 1024 * 1024;
inline constexpr const char* kFileInvalidText = "**Failed** File is Invalid!\r\n";
inline constexpr const char* kFormatErrorText = "**Failed** update file format error!\r\n";

// Upper bounds of one line's digits; longer lines are format errors. A family-1 record holds at
// most 4 + 130 + 1 bytes (the information record's header is the longer one).
inline constexpr std::size_t kMaxFamily1Digits = 270;
inline constexpr std::size_t kMaxFamily1Data = 130;
inline constexpr std::size_t kMaxFamily2Digits = 136;

// Text of the information record's string fields: a length byte XOR kLengthMask, then the
// characters, each XOR kCharMask.
inline constexpr std::uint8_t kLengthMask = 0xA7;
inline constexpr std::uint8_t kCharMask = 0x6B;

// Loads the whole file (path in UTF-8) byte for byte and gives its size; nothing (and nothing
// handed over) when it cannot be opened, read in full, is larger than kMaxUpdateFileSize (it is
// then not read at all), the path holds a NUL character, or it is no regular file (a folder, named
// pipe or device is refused without waiting on it). The cause goes to `failure` when given.
std::optional<std::int32_t> loadWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                                          FileFailure* failure = nullptr);

// Reads one line from `position`: its hex digits (upper-cased, others dropped) go into `text`
// (terminated), at most `textCapacity - 1` of them. Returns the start of the next line (or size);
// `digits` receives the number of hex digits the line holds (which may exceed what was stored).
// A line ends at the first CR or LF; the whole run of CR and LF after it is consumed, so empty
// lines never form lines of their own. When `position` is at or beyond `size` the text is empty
// and `position` comes back unchanged; a negative position reads nothing and gives `size`.
std::int32_t readHexLine(const std::uint8_t* data, std::int32_t size, std::int32_t position,
                         char* text, std::size_t textCapacity, std::size_t& digits);

// The number of the line that holds byte `offset` (or starts there), counted from 1 as a text
// editor counts them: CR LF, a CR alone and an LF alone each end a line, an empty line counts.
std::int32_t editorLineAt(const std::uint8_t* data, std::int32_t size, std::int32_t offset);

// Turns hex text into bytes: (length + 1) / 2 bytes are written; an odd last digit gives a byte
// whose low nibble is 0. Non-digits count as 0.
void decodeHexText(const char* text, std::size_t length, std::uint8_t* bytes);

// One family-1 record's text: `header` bytes (2 for a data record, 4 for the information record)
// whose last two announce the data length, that many data bytes, and a checksum byte, the low 8
// bits of their sum. Decodes the text into `bytes` (room for (kMaxFamily1Digits + 1) / 2) and
// gives the data length. False when the text has more than kMaxFamily1Digits digits, fewer than
// the header, data and checksum need, announces more than kMaxFamily1Data bytes, or its checksum
// byte does not match; `check`, when given, then says which, with its numbers (not the line).
bool decodeFamily1Record(const char* text, std::size_t digits, std::size_t header,
                         std::uint8_t* bytes, std::size_t& dataLength, FileCheck* check = nullptr);

// Whether the family-2 line that runs from `start` to `next` in `data`, with its hex digits in
// `text` (as readHexLine gave them), is sound: 136 hex digits and exactly one line end, and the
// low 8 bits of its 68 bytes' sum are 0xFF. When it is not, `check`, when given, says why and on
// which line.
bool family2LineIsSound(const std::uint8_t* data, std::int32_t size, std::int32_t start,
                        std::int32_t next, const char* text, std::size_t digits,
                        FileCheck* check = nullptr);

// Whether the file is a sound file of that family, or its first fault and where it is:
//   family 1: records up to the information record ("FFF1"), each with a length of at most 130,
//             its digits and a matching checksum; an information record of at least 7 data bytes
//             whose texts fit it and whose byte total matches the bytes before it.
//   family 2: lines of 136 hex digits and one line end (CR LF, CR or LF), each summing to 0xFF,
//             up to the information line, whose byte total matches, whose texts fit it and whose
//             version text holds a "V".
// Both set lineCount in every case, and the other fields as they decode them.
FileCheck checkFamily1File(UpdateFile& file);
FileCheck checkFamily2File(UpdateFile& file);
// Both checks in turn, reporting nothing: the sound one, or the fault of the family the file most
// looks like. Sets progressStep whatever the outcome; the buffer stays.
FileCheck checkEitherFamily(UpdateFile& file);
// checkEitherFamily, told as a run tells it: on failure reports "**Failed** update file format
// error!\r\n" and the reason line that names the first bad line, and releases the buffer; then
// progress 2 whatever the outcome.
FileCheck checkUpdateFile(UpdateFile& file, const Reporter& reporter);

// The firmware version number of a family-2 file: the text after the first "V" of `versionText`
// without its dots, a final "X" replaced by the digit of the model `modelCode`
// (engine/model_catalog.h), read by the atoi rule. Nothing when the text has no "V".
std::optional<std::int32_t> deriveFileVersion(const char* versionText, int modelCode);

}  // namespace korvane
