#pragma once

#include <string>
#include <vector>

namespace korvane::simtest {

// A small sound update file built here for the adapter's tests, with what a correct download
// sends from it.
struct SampleFile {
    std::string text;                // the file, CR LF line ends
    std::vector<std::string> image;  // family 2: every line without its type digits;
                                     // family 1: every record before the information record
};

// Family 2: `dataLines` data lines of type "00" (their contents all differ), then the
// information line.
SampleFile makeFamily2File(int dataLines, const std::string& productText,
                           const std::string& modelName, const std::string& versionText);

// Family 1: `records` data records of 1 to 130 data bytes, then the information record.
SampleFile makeFamily1File(int records, const std::string& productText,
                           const std::string& modelName);

// The lines of a file text as hex digits, line ends dropped.
std::vector<std::string> fileLines(const std::string& text);

}  // namespace korvane::simtest
