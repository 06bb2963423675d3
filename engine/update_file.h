#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

    // Drops the buffer (data and size); the decoded fields stay.
    void release();
};

// Upper bounds of one line's digits; longer lines are format errors.
inline constexpr std::size_t kMaxFamily1Digits = 270;
inline constexpr std::size_t kMaxFamily2Digits = 136;

// Loads the whole file; returns its size, or -1 (nothing handed over).
std::int32_t loadWholeFile(const std::string& path, std::vector<std::uint8_t>& out);

// Reads one line from `position`: its hex digits (upper-cased, others dropped) go into `text`
// (terminated), at most `textCapacity - 1` of them. Returns the start of the next line (or size);
// `digits` receives the number of hex digits the line holds (which may exceed what was stored).
std::int32_t readHexLine(const std::uint8_t* data, std::int32_t size, std::int32_t position,
                         char* text, std::size_t textCapacity, std::size_t& digits);

// Turns hex text into bytes: (length + 1) / 2 bytes are written. Non-digits count as 0.
void decodeHexText(const char* text, std::size_t length, std::uint8_t* bytes);
std::uint8_t hexPairToByte(char high, char low);

int checkFamily1File(UpdateFile& file);
int checkFamily2File(UpdateFile& file);
// Both checks in turn; reports the format error and progress 2. Returns 1 or the family-2 code.
int checkUpdateFile(UpdateFile& file, const Reporter& reporter);

// Index of `name` in the model-name table ("Azur03", "ZNB5413", "ZNB5411", "ZNB5412", "Azur01",
// then the empty entry), or -1.
int lookupModelName(const char* name);

}  // namespace korvane
