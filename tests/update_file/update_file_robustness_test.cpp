// Damaged and random input never makes the check read or write out of bounds (the asan preset
// turns any such access into a failure) and always ends in a well-formed verdict.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/update_file.h"
#include "sim/update_file_writer.h"

namespace korvane {
namespace {

// Characters that matter to the line reader, so mutations hit its edges often.
constexpr char kInteresting[] = "\r\n0123456789ABCDEFabcdef:F \xff";

std::vector<std::string> soundFiles() {
    std::vector<std::string> files;
    for (int family : {1, 2}) {
        for (sim::LineEnd end : {sim::LineEnd::CrLf, sim::LineEnd::Lf, sim::LineEnd::Cr}) {
            sim::UpdateFileRecipe r;
            r.family = family;
            r.modelName = family == 1 ? "Korvane FS v" : "ZNB5412";
            r.payload = sim::samplePayload(700, static_cast<std::uint32_t>(family * 10 + 3));
            r.lineEnd = end;
            r.recordSize = 130;
            files.push_back(sim::makeUpdateFile(r).bytes);
        }
    }
    return files;
}

std::string mutate(std::string bytes, std::mt19937& rng) {
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n)(rng);
    };
    auto interesting = [&] { return kInteresting[pick(sizeof kInteresting - 2)]; };
    switch (pick(5)) {
        case 0:  // change a few bytes
            for (std::size_t n = pick(4) + 1; n > 0 && !bytes.empty(); --n) {
                bytes[pick(bytes.size() - 1)] =
                    pick(1) ? interesting() : static_cast<char>(pick(255));
            }
            break;
        case 1:  // cut anywhere
            bytes.resize(pick(bytes.size()));
            break;
        case 2:  // insert a few bytes
            for (std::size_t n = pick(3) + 1; n > 0; --n) {
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(pick(bytes.size())),
                             interesting());
            }
            break;
        case 3:  // drop a run
            if (!bytes.empty()) {
                const std::size_t at = pick(bytes.size() - 1);
                bytes.erase(at, pick(300));
            }
            break;
        case 4:  // a run of digits: overlong lines and huge lengths
            bytes.insert(pick(bytes.size()), std::string(pick(600), pick(1) ? 'F' : '7'));
            break;
        default: {  // random bytes only
            std::string random(pick(700), '\0');
            for (char& c : random) {
                c = pick(1) ? interesting() : static_cast<char>(pick(255));
            }
            bytes = random;
        }
    }
    return bytes;
}

void expectWellFormed(const std::string& bytes) {
    UpdateFile file;
    file.data.assign(bytes.begin(), bytes.end());
    file.data.shrink_to_fit();
    file.size = static_cast<std::int32_t>(bytes.size());
    const FileCheck result = checkUpdateFile(file, Reporter());
    ASSERT_TRUE(result.family == 1 || result.family == 2) << result.family;
    EXPECT_LT(std::strlen(file.productText), sizeof file.productText);
    EXPECT_LT(std::strlen(file.modelName), sizeof file.modelName);
    EXPECT_LT(std::strlen(file.versionText), sizeof file.versionText);
    if (result.sound()) {
        EXPECT_TRUE(file.family == 1 || file.family == 2);
        EXPECT_GT(file.lineCount, 0);
    } else {
        EXPECT_TRUE(file.data.empty());
        // The named line is one of the file's, as an editor numbers them.
        const auto lineEnds = std::count(bytes.begin(), bytes.end(), '\n') +
                              std::count(bytes.begin(), bytes.end(), '\r');
        EXPECT_GE(result.line, 1);
        EXPECT_LE(result.line, lineEnds + 1);
    }
}

TEST(UpdateFileRobustness, MutatedSoundFilesNeverBreakTheCheck) {
    const std::vector<std::string> files = soundFiles();
    std::mt19937 rng(20240611);
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::string& base = files[static_cast<std::size_t>(round) % files.size()];
        std::string bytes = mutate(base, rng);
        if (round % 3 == 0) {
            bytes = mutate(bytes, rng);
        }
        SCOPED_TRACE(round);
        expectWellFormed(bytes);
        UpdateFile probe;
        probe.data.assign(bytes.begin(), bytes.end());
        probe.size = static_cast<std::int32_t>(bytes.size());
        accepted += checkFamily1File(probe).sound() || checkFamily2File(probe).sound();
    }
    // Changes that only touch lines after the information record, or filler, keep a file sound;
    // most changes must not.
    EXPECT_LT(accepted, 4000 / 2);
}

TEST(UpdateFileRobustness, LineReaderStaysInsideItsBuffersForAnyCapacity) {
    std::mt19937 rng(7);
    for (int round = 0; round < 500; ++round) {
        std::string bytes(std::uniform_int_distribution<int>(0, 400)(rng), '\0');
        for (char& c : bytes) {
            c = kInteresting[std::uniform_int_distribution<std::size_t>(
                0, sizeof kInteresting - 2)(rng)];
        }
        const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
        const std::size_t capacity = std::uniform_int_distribution<std::size_t>(0, 20)(rng);
        std::vector<char> text(capacity);
        std::int32_t position = 0;
        const auto size = static_cast<std::int32_t>(data.size());
        while (position < size) {
            std::size_t digits = 0;
            const std::int32_t next = readHexLine(
                data.data(), size, position, capacity ? text.data() : nullptr, capacity, digits);
            ASSERT_GT(next, position);
            ASSERT_LE(next, size);
            if (capacity > 0) {
                ASSERT_EQ(std::strlen(text.data()), std::min(digits, capacity - 1));
            }
            position = next;
        }
    }
}

}  // namespace
}  // namespace korvane
