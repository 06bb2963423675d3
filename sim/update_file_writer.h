#pragma once

// Writes update files of both families, sound or with one chosen defect, so that tests, the demo
// and the emulated adapter never depend on opaque fixture files.
//
//   sim::UpdateFileRecipe recipe;            // family 2, "Korvane FD" / "ZNB5412" / "V2.2.3X"
//   recipe.payload = sim::samplePayload(4096);
//   sim::GeneratedUpdateFile file = sim::makeUpdateFile(recipe);
//   if (!file.ok()) { ... file.error ... }
//   sim::saveUpdateFile(path, file);         // or use file.bytes directly
//   // file.commands: what the download sends, file.image: what the adapter ends up holding
//
// Family 2 (line download): every line is 68 bytes written as 136 hex digits.
//   data line:   byte 0 record kind (0x00), bytes 1-2 the data line's sequence number (big-endian,
//                from 0), bytes 3-66 the next 64 payload bytes (the last line padded with 0xFF),
//                byte 67 makes the line's byte sum 0xFF.
//   info line:   byte 0 0x00, bytes 1-2 0xFF 0xF1, bytes 3-6 0x00, from byte 7 the three masked
//                strings (product, model, version), 0x00 filler, bytes 63-66 the byte total,
//                byte 67 the sum byte.
//   A sound file has an even number of lines (so the download sends every line): when the data
//   lines and the info line make an odd count, one more data line of 64 bytes 0xFF is added
//   before the info line. Sequence numbers stop below 0xFFF1, so the payload is at most
//   65521 * 64 bytes.
// Family 1 (block download): the payload is cut into records of `recordSize` data bytes (the last
//   one shorter): length (2 bytes, big-endian), data, checksum byte. Then the information record
//   "FFF1", length, data (one 0x00 byte, masked product text, masked model name, byte total),
//   checksum. The version text is not written.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::sim {

enum class LineEnd { CrLf, Lf, Cr };

// One deliberate fault. What the update does with each (F1/F2: family):
enum class Defect {
    None,
    BadChecksum,         // first record's checksum (F1) / first line's byte sum (F2) is off by
                         // one: format error
    BadByteTotal,        // byte total in the information record is one too high: format error
    ShortFile,           // the file is cut to 137 bytes: "File is Invalid"
    MissingLastLineEnd,  // no line end after the last line (the info record): F2 format error,
                         // F1 sound
    OddLineCount,        // F2 only: an odd number of lines; sound, but the download never sends
                         // the last line (the info line)
    Type03Line,          // F2 only: the first data line has record kind 03; sound for the check,
                         // the download refuses it ("Device type error")
    RecordsAfterInfo,    // two more records/lines of 0xEE after the info record; sound. F1 never
                         // sends them; F2 sends them (they appear in `commands`, not in `image`)
    OverlongLine,        // the first line carries more digits than any sound line of its family
                         // (F1: padded with "0" to 272 digits, F2: 138 digits): format error
    StringOverrun,       // the last string's length byte claims one character more than the
                         // record holds before the byte total: format error
    Type03AfterInfo,     // F2 only: as RecordsAfterInfo, but the first line after the info line
                         // has record kind 03; sound for the check, refused before download mode
};

struct UpdateFileRecipe {
    int family = 2;                     // 1 or 2
    std::vector<std::uint8_t> payload;  // the firmware bytes
    std::string productText = "Korvane FD";
    std::string modelName = "ZNB5412";
    std::string versionText = "V2.2.3X";  // family 2 only
    LineEnd lineEnd = LineEnd::CrLf;
    Defect defect = Defect::None;
    int recordSize = 128;  // family 1: data bytes per record, 1 to 130
};

struct GeneratedUpdateFile {
    std::string error;  // why nothing was written (strings too long, payload too large, defect
                        // that does not apply to the family); empty on success
    std::string bytes;  // the file, exactly as it goes to disk
    // The hex text of every line in file order, upper-case, without line end (what the line
    // reader returns for it).
    std::vector<std::string> lines;
    // The commands the download sends for this file, each ending in "\r", in order, when the
    // adapter accepts every one. F2: "QXBL" + line text from its third digit, for every line of
    // each full pair. F1: "QXDLDT" + record text, for every record before the info record.
    // Download-time refusals (a type-03 line) are not taken into account.
    std::vector<std::string> commands;
    // What an adapter holds after storing, in order, the payload of every data line (F2: bytes
    // 3-66, so the payload padded with 0xFF, plus the even-count filler line if any) or every data
    // record (F1: exactly the payload) before the info record.
    std::vector<std::uint8_t> image;

    bool ok() const { return error.empty(); }
};

inline constexpr std::size_t kFamily2LineBytes = 68;
inline constexpr std::size_t kFamily2PayloadPerLine = 64;
inline constexpr std::size_t kFamily1MaxRecordData = 130;

GeneratedUpdateFile makeUpdateFile(const UpdateFileRecipe& recipe);

// Writes `file.bytes` to `path`; false when the file could not be written.
bool saveUpdateFile(const std::string& path, const GeneratedUpdateFile& file);

// A deterministic pseudo-random payload of `size` bytes.
std::vector<std::uint8_t> samplePayload(std::size_t size, std::uint32_t seed = 1);

// Upper-case hex text of the bytes.
std::string hexText(const std::uint8_t* bytes, std::size_t count);

// Names as the command line spells them: "none", "bad-checksum", "bad-byte-total", "short-file",
// "missing-last-line-end", "odd-line-count", "type-03-line", "records-after-info",
// "overlong-line", "string-overrun".
const char* defectName(Defect defect);
bool parseDefect(std::string_view name, Defect& defect);
// Every defect, None included, in declaration order.
const std::vector<Defect>& allDefects();

}  // namespace korvane::sim
