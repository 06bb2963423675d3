// The writer's promises to the tests and the emulated adapter that rely on it: the commands it
// lists are what the download sends, and the image is what an adapter assembles from them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/update_file_writer.h"

namespace korvane::sim {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

TEST(UpdateFileWriter, Family2CommandsCarryEveryLineAndRebuildTheImage) {
    for (std::size_t payloadSize : {0u, 1u, 64u, 65u, 128u, 1000u}) {
        SCOPED_TRACE(payloadSize);
        UpdateFileRecipe r;
        r.payload = samplePayload(payloadSize, 5);
        const GeneratedUpdateFile file = makeUpdateFile(r);
        ASSERT_TRUE(file.ok()) << file.error;
        ASSERT_EQ(file.lines.size() % 2, 0u);
        ASSERT_EQ(file.commands.size(), file.lines.size());

        std::vector<std::uint8_t> image;
        for (std::size_t i = 0; i < file.commands.size(); ++i) {
            const std::string& command = file.commands[i];
            ASSERT_EQ(command.size(), 4u + 134u + 1u);
            ASSERT_EQ(command.substr(0, 4), "QXBL");
            ASSERT_EQ(command.back(), '\r');
            // The line's type "00" is not sent; put it back to check the whole line.
            const std::vector<std::uint8_t> line = bytesOf("00" + command.substr(4, 134));
            std::uint8_t sum = 0;
            for (std::uint8_t b : line) {
                sum = static_cast<std::uint8_t>(sum + b);
            }
            EXPECT_EQ(sum, 0xFF);
            const bool info = i + 1 == file.commands.size();
            EXPECT_EQ(line[1] == 0xFF && line[2] == 0xF1, info);
            if (!info) {
                EXPECT_EQ(line[1] * 256 + line[2], static_cast<int>(i));  // sequence number
                image.insert(image.end(), line.begin() + 3, line.begin() + 67);
            }
        }
        EXPECT_EQ(image, file.image);
        ASSERT_GE(image.size(), payloadSize);
        EXPECT_EQ(std::vector<std::uint8_t>(image.begin(), image.begin() + payloadSize), r.payload);
        for (std::size_t i = payloadSize; i < image.size(); ++i) {
            EXPECT_EQ(image[i], 0xFF);
        }
    }
}

TEST(UpdateFileWriter, Family1CommandsAreTheRecordsBeforeTheInformationRecord) {
    UpdateFileRecipe r;
    r.family = 1;
    r.modelName = "Korvane FS v2";
    r.payload = samplePayload(300, 9);
    r.recordSize = 128;
    r.defect = Defect::RecordsAfterInfo;
    const GeneratedUpdateFile file = makeUpdateFile(r);
    ASSERT_TRUE(file.ok()) << file.error;
    ASSERT_EQ(file.commands.size(), 3u);  // 128 + 128 + 44; the info record and after not sent
    ASSERT_EQ(file.lines.size(), 6u);
    EXPECT_EQ(file.lines[3].substr(0, 4), "FFF1");
    std::vector<std::uint8_t> sent;
    for (const std::string& command : file.commands) {
        ASSERT_EQ(command.substr(0, 6), "QXDLDT");
        const std::vector<std::uint8_t> record = bytesOf(command.substr(6, command.size() - 7));
        const std::size_t n = record[0] * 256u + record[1];
        ASSERT_EQ(record.size(), 2 + n + 1);
        sent.insert(sent.end(), record.begin() + 2, record.begin() + 2 + static_cast<long>(n));
    }
    EXPECT_EQ(sent, r.payload);
    EXPECT_EQ(file.image, r.payload);
}

TEST(UpdateFileWriter, LineEndStyleAndOddCount) {
    UpdateFileRecipe r;
    r.payload = samplePayload(64 * 3, 1);  // 3 data lines + info: even without filler
    r.lineEnd = LineEnd::Cr;
    GeneratedUpdateFile file = makeUpdateFile(r);
    EXPECT_EQ(file.lines.size(), 4u);
    EXPECT_EQ(file.bytes.find('\n'), std::string::npos);
    EXPECT_EQ(file.bytes.size(), 4u * 137u);

    r.defect = Defect::OddLineCount;
    file = makeUpdateFile(r);
    EXPECT_EQ(file.lines.size(), 5u);
    EXPECT_EQ(file.commands.size(), 4u);  // the last line (the info line) is never sent
}

TEST(UpdateFileWriter, RefusesWhatItCannotWrite) {
    UpdateFileRecipe tooLong;
    tooLong.productText = std::string(30, 'p');
    tooLong.modelName = "ZNB5412";
    tooLong.versionText = std::string(17, 'V');  // 3 + 30 + 7 + 17 = 57 bytes
    UpdateFileRecipe familyOneOnly;
    familyOneOnly.family = 1;
    familyOneOnly.defect = Defect::Type03Line;
    UpdateFileRecipe badRecord;
    badRecord.family = 1;
    badRecord.recordSize = 131;
    UpdateFileRecipe longFamily1;
    longFamily1.family = 1;
    longFamily1.productText = std::string(62, 'p');
    longFamily1.modelName = std::string(62, 'm');
    UpdateFileRecipe badFamily;
    badFamily.family = 3;
    for (const UpdateFileRecipe& r : {tooLong, familyOneOnly, badRecord, longFamily1, badFamily}) {
        const GeneratedUpdateFile file = makeUpdateFile(r);
        EXPECT_FALSE(file.ok());
        EXPECT_TRUE(file.bytes.empty());
    }
}

TEST(UpdateFileWriter, DefectNamesRoundTrip) {
    for (Defect defect : allDefects()) {
        Defect parsed = Defect::None;
        ASSERT_TRUE(parseDefect(defectName(defect), parsed));
        EXPECT_EQ(parsed, defect);
    }
    Defect parsed = Defect::None;
    EXPECT_FALSE(parseDefect("bad", parsed));
}

}  // namespace
}  // namespace korvane::sim
