#pragma once

#include <optional>

#include "engine/update_file.h"

namespace korvane {

// The check before the adapter is put into download mode: every line (family 2) or record
// (family 1) that the download will send is judged as the download judges it, so a file that
// would fail half way is refused while the adapter still runs its old firmware.
//   Family 2: every line that goes out in a pair (the last line of a file with an odd number of
//     lines never does) must have a type the line download sends ("00", "01", "02") and be a
//     sound line (136 hex digits and one line end, byte sum 0xFF), also the lines after the
//     information line, which the file check does not look at.
//   Family 1: every record before the information record must hold its announced data and a
//     matching checksum.
// Nothing when every one is sound; otherwise the 1-based number of the first that is not,
// counting the file's lines as readHexLine does.
std::optional<int> firstUnsendableLine(const UpdateFile& file);

// The text an update refuses such a file with: the format error for family 2, "File is Invalid"
// for family 1 (the texts each download gives for a line or record it cannot send).
const char* unsendableFileText(const UpdateFile& file);

// Whether a family-2 file has an odd number of lines, whose last line the download never sends.
bool hasUnsentLastLine(const UpdateFile& file);

}  // namespace korvane
