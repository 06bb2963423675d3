#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sim/update_file_writer.h"

namespace korvane::simtest {

// Sound update files from the project's writer.
sim::GeneratedUpdateFile family2File(std::size_t payloadSize,
                                     const std::string& modelName = "ZNB5411");
sim::GeneratedUpdateFile family1File(std::size_t payloadSize, int recordSize = 128);

// What follows "QXBL" or "QXDLDT" in every command the download sends for the file: the entries
// of the adapter's image after a correct transfer.
std::vector<std::string> sentTexts(const sim::GeneratedUpdateFile& file);

}  // namespace korvane::simtest
