#pragma once

#include <string>
#include <vector>

namespace korvane::sim {

// The firmware an emulated adapter received in its last download, in a form a test can compare
// with the update file:
//
// - family 2: the text after "QXBL" of every line the adapter took, in file order, pair by pair.
//   That is the file line's hex digits without its first two (the line type), exactly as sent.
//   Only complete pairs are in `entries`; a first line whose second has not come yet waits in
//   `pendingLine`. A line answered "RepPack\r" is not taken; a pair answered "RepBlock\r" is
//   dropped and taken again when it is sent again; a pair the host starts over after the adapter
//   asked for repeats in it replaces itself. The closing record command is not part of the image.
// - family 1: the text after "QXDLDT" of every record the adapter answered "OK", in order.
//
// So for a sound file and a correct host the entries are: family 2, every line of the file (the
// information line included, a last unpaired line excluded) without its first two digits;
// family 1, every record before the information record, as its hex digits.
struct FirmwareImage {
    int family = 0;  // 0 until a download starts
    std::vector<std::string> entries;
    std::string pendingLine;
};

// The image as text: every entry followed by "\n".
std::string imageText(const FirmwareImage& image);

// The firmware bytes the image carries:
// - family 1: the data bytes of every record (its bytes 2 to 2+n-1, n from its first two bytes);
// - family 2: bytes 3 to 66 of every line before the information line, that is the 64 bytes
//   after the line's sequence number (the line's type byte is not sent, so these are bytes 2 to
//   65 of what follows "QXBL"). The information line is the first whose text after "QXBL"
//   begins with "FFF1"; it and what follows it carry no firmware.
// This is the layout of the project's update files (sim/update_file_writer.h); the entries
// themselves assume no layout.
std::string payloadBytes(const FirmwareImage& image);

// What an image file holds: the entries as text lines, or the firmware bytes.
enum class ImageFormat { Lines, Payload };

// Writes the image to `path` (through a temporary file and a rename). False on failure.
bool writeImageFile(const FirmwareImage& image, const std::string& path,
                    ImageFormat format = ImageFormat::Lines);

}  // namespace korvane::sim
