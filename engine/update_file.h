#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "channel/regular_file.h"
#include "engine/report_sink.h"

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
// handed over) when it cannot be opened, read in full, is larger than 2 GiB, the path holds a NUL
// character, or it is no regular file (a folder, named pipe or device is refused without waiting
// on it). The cause goes to `failure` when given.
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

// Turns hex text into bytes: (length + 1) / 2 bytes are written; an odd last digit gives a byte
// whose low nibble is 0. Non-digits count as 0.
void decodeHexText(const char* text, std::size_t length, std::uint8_t* bytes);

// One family-1 record's text: `header` bytes (2 for a data record, 4 for the information record)
// whose last two announce the data length, that many data bytes, and a checksum byte, the low 8
// bits of their sum. Decodes the text into `bytes` (room for (kMaxFamily1Digits + 1) / 2) and
// gives the data length. False when the text has more than kMaxFamily1Digits digits, fewer than
// the header, data and checksum need, announces more than kMaxFamily1Data bytes, or its checksum
// byte does not match.
bool decodeFamily1Record(const char* text, std::size_t digits, std::size_t header,
                         std::uint8_t* bytes, std::size_t& dataLength);

// Whether the family-2 line that runs from `start` to `next` in `data`, with its hex digits in
// `text` (as readHexLine gave them), is sound: 136 hex digits and exactly one line end, and the
// low 8 bits of its 68 bytes' sum are 0xFF.
bool family2LineIsSound(const std::uint8_t* data, std::int32_t start, std::int32_t next,
                        const char* text, std::size_t digits);

// 1 when the file is a sound file of that family, else a negative code:
//   family 1: -1 no information record or byte total mismatch; -2 a record's length above 130,
//             checksum mismatch, a line with fewer digits than its length requires or more than
//             270; -3 information record with fewer than 7 data bytes or strings that overrun it.
//   family 2: -1 a line that is not 136 hex digits and one line end (CR LF, CR or LF), line byte
//             sum not 0xFF, byte total mismatch, strings that overrun the line, no "V" in the
//             version text; -2 no information line.
// Both set lineCount in every case, and the other fields as they decode them.
int checkFamily1File(UpdateFile& file);
int checkFamily2File(UpdateFile& file);
// Both checks in turn; on failure reports "**Failed** update file format error!\r\n" and releases
// the buffer. Sets progressStep and reports progress 2 whatever the outcome. Returns 1 or the
// family-2 code.
int checkUpdateFile(UpdateFile& file, const Reporter& reporter);

// The firmware version number of a family-2 file: the text after the first "V" of `versionText`
// without its dots, a final "X" replaced by the digit of the model `modelCode`
// (engine/model_catalog.h), read by the atoi rule. Nothing when the text has no "V".
std::optional<std::int32_t> deriveFileVersion(const char* versionText, int modelCode);

}  // namespace korvane
