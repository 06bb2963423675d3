// TEMPORARY stand-in for the update-file routines, linked only into these tests until
// engine/update_file.cpp lands on main; remove it (and its line in CMakeLists.txt) then.
// A file whose text begins with "STAND-IN FAMILY 1" or "STAND-IN FAMILY 2" passes the check as
// that family; anything else is a format error, reported as the real check reports it.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "engine/update_file.h"

namespace korvane {

void UpdateFile::release() {
    std::vector<std::uint8_t>().swap(data);
    size = 0;
}

std::int32_t loadWholeFile(const std::string& path, std::vector<std::uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return -1;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return static_cast<std::int32_t>(out.size());
}

int checkUpdateFile(UpdateFile& file, const Reporter& reporter) {
    const std::string start(file.data.begin(),
                            file.data.begin() + std::min<std::size_t>(file.data.size(), 17));
    int result = -1;
    if (start == "STAND-IN FAMILY 1") {
        file.family = 1;
        result = 1;
    } else if (start == "STAND-IN FAMILY 2") {
        file.family = 2;
        result = 1;
    }
    file.lineCount = 9;
    if (result < 0) {
        reporter.reportText("**Failed** update file format error!\r\n");
        file.release();
    }
    file.progressStep = 90.0 / file.lineCount;
    reporter.reportProgress(2);
    return result;
}

}  // namespace korvane
