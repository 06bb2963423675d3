// How the adapter assembles the firmware image from lines and records, resends included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_host.h"
#include "writer_files.h"

namespace korvane::simtest {
namespace {

using sim::AdapterSettings;

constexpr char kTaken[] = "...\r\r>";
constexpr char kOk[] = "OK\r\r>";
constexpr char kRepPack[] = "RepPack\r\r>";
constexpr char kRepBlock[] = "RepBlock\r\r>";

// A family-2 adapter already in download mode, echo off, and the payloads of a sample file.
struct LineDownload {
    explicit LineDownload(sim::FaultPlan faults = {}) : host(settingsWith(faults)) {
        lines = sentTexts(family2File(7 * 64));
        EXPECT_EQ(host.say("QXUPDT03"), kOk);
    }
    static AdapterSettings settingsWith(const sim::FaultPlan& faults) {
        AdapterSettings settings;
        settings.model = sim::kModelZnb5411;
        settings.faults = faults;
        return settings;
    }
    // Sends line `index` (0-based) of the file.
    std::string send(std::size_t index) { return host.say("QXBL" + lines.at(index)); }
    // Sends lines `first` .. `first + count - 1` as plain pairs, expecting no repeats.
    void sendPlain(std::size_t first, std::size_t count) {
        for (std::size_t i = first; i < first + count; ++i) {
            EXPECT_EQ(send(i), i % 2 == 0 ? kTaken : kOk) << "line " << i + 1;
        }
    }
    std::vector<std::string> image() const { return host.adapter.image().entries; }

    CoreHost host;
    std::vector<std::string> lines;
};

TEST(LineImage, PlainPairsGiveTheFilesLinesInOrder) {
    LineDownload download;
    download.sendPlain(0, 8);
    EXPECT_EQ(download.image(), download.lines);
    EXPECT_EQ(download.host.adapter.image().family, 2);
    EXPECT_EQ(download.host.say(sim::closingRecordCommand()), kOk);
    EXPECT_EQ(download.host.say("QXFL"), kOk);
    EXPECT_EQ(download.image(), download.lines);
    EXPECT_EQ(download.host.adapter.status().closingRecords, 1);
}

TEST(LineImage, OnlyCompletePairsCountAndAnUnpairedLineWaits) {
    LineDownload download;
    download.sendPlain(0, 3);
    EXPECT_EQ(download.image(),
              std::vector<std::string>(download.lines.begin(), download.lines.begin() + 2));
    EXPECT_EQ(download.host.adapter.image().pendingLine, download.lines[2]);
}

TEST(LineImage, EqualNeighbouringLinesAreTakenAsTheyCome) {
    LineDownload download;
    const std::string same = download.lines[0];
    EXPECT_EQ(download.host.say("QXBL" + same), kTaken);
    EXPECT_EQ(download.host.say("QXBL" + same), kOk);
    EXPECT_EQ(download.host.say("QXBL" + same), kTaken);
    EXPECT_EQ(download.host.say("QXBL" + same), kOk);
    EXPECT_EQ(download.image(), std::vector<std::string>(4, same));
}

TEST(LineImage, RepPackedLinesAreTakenOnceWhenResent) {
    sim::FaultPlan faults;
    faults.repPack = {{3, 2}, {6, 1}};  // first line of pair 2, second line of pair 3
    LineDownload download(faults);
    download.sendPlain(0, 2);
    EXPECT_EQ(download.send(2), kRepPack);
    EXPECT_EQ(download.send(2), kRepPack);
    EXPECT_EQ(download.send(2), kTaken);
    EXPECT_EQ(download.send(3), kOk);
    EXPECT_EQ(download.send(4), kTaken);
    EXPECT_EQ(download.send(5), kRepPack);
    EXPECT_EQ(download.send(5), kOk);
    download.sendPlain(6, 2);
    EXPECT_EQ(download.image(), download.lines);
    EXPECT_EQ(download.host.adapter.status().repPackSent, 3);
}

TEST(LineImage, RepBlockedPairIsReplacedWhenSentAgain) {
    sim::FaultPlan faults;
    faults.repBlock = {{2, 2}};
    LineDownload download(faults);
    download.sendPlain(0, 2);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(download.send(2), kTaken);
        EXPECT_EQ(download.send(3), kRepBlock);
        EXPECT_EQ(download.image().size(), 2u);
    }
    download.sendPlain(2, 6);
    EXPECT_EQ(download.image(), download.lines);
    EXPECT_EQ(download.host.adapter.status().repBlockSent, 2);
}

// A host gives a pair up when its second line is refused too often, and starts the pair over
// from its first line: the adapter must take that first line as the first line again.
TEST(LineImage, PairStartedOverAfterRepeatedRepPackIsNotDuplicated) {
    sim::FaultPlan faults;
    faults.repPack = {{4, 6}};
    LineDownload download(faults);
    download.sendPlain(0, 2);
    EXPECT_EQ(download.send(2), kTaken);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(download.send(3), kRepPack);
    }
    EXPECT_EQ(download.send(2), kTaken);
    EXPECT_EQ(download.send(3), kOk);
    download.sendPlain(4, 4);
    EXPECT_EQ(download.image(), download.lines);
}

// A line taken only at its fifth send still fails the pair on the host's side, which sends the
// whole pair again: the adapter replaces the pair it took.
TEST(LineImage, PairSentAgainAfterALateTakeReplacesItself) {
    sim::FaultPlan faults;
    faults.repPack = {{2, 4}};
    LineDownload download(faults);
    EXPECT_EQ(download.send(0), kTaken);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(download.send(1), kRepPack);
    }
    EXPECT_EQ(download.send(1), kOk);
    download.sendPlain(0, 8);
    EXPECT_EQ(download.image(), download.lines);
}

TEST(LineImage, MalformedLinePayloadIsAskedForAgain) {
    LineDownload download;
    for (const std::string& bad :
         {std::string("0a1B"), std::string("ABC"), std::string(""), std::string(254, 'A')}) {
        EXPECT_EQ(download.host.say("QXBL" + bad), kRepPack) << bad;
    }
    download.sendPlain(0, 8);
    EXPECT_EQ(download.image(), download.lines);
}

TEST(LineImage, NewDownloadStartsAnEmptyImage) {
    LineDownload download;
    download.sendPlain(0, 4);
    EXPECT_EQ(download.host.say("QXUPDT03"), kOk);
    EXPECT_TRUE(download.image().empty());
}

// A family-1 adapter in download mode, echo off.
struct BlockDownload {
    explicit BlockDownload(sim::FaultPlan faults = {}) : host(settingsWith(faults)) {
        records = sentTexts(family1File(6 * 100, 100));
        EXPECT_EQ(host.say("QXDLZNB540"), kOk);
    }
    static AdapterSettings settingsWith(const sim::FaultPlan& faults) {
        AdapterSettings settings;
        settings.model = sim::kModelZnb540;
        settings.faults = faults;
        return settings;
    }
    std::string send(std::size_t index) { return host.say("QXDLDT" + records.at(index)); }

    CoreHost host;
    std::vector<std::string> records;
};

TEST(RecordImage, AcceptedRecordsInOrderAndErr02RecordsSentAgain) {
    sim::FaultPlan faults;
    faults.err02 = {{2, 2}};
    BlockDownload download(faults);
    EXPECT_EQ(download.send(0), kOk);
    EXPECT_EQ(download.send(1), "ERR02\r\r>");
    EXPECT_EQ(download.send(1), "ERR02\r\r>");
    EXPECT_EQ(download.send(1), kOk);
    for (std::size_t i = 2; i < download.records.size(); ++i) {
        EXPECT_EQ(download.send(i), kOk);
    }
    EXPECT_EQ(download.host.adapter.image().entries, download.records);
    EXPECT_EQ(download.host.adapter.image().family, 1);
    EXPECT_EQ(download.host.adapter.status().err02Sent, 2);
}

TEST(RecordImage, UnsoundRecordsAreRefusedWithErr02) {
    BlockDownload download;
    const std::vector<std::string> bad = {
        "0003A1B2C317",                             // checksum off by one
        "0003A1B2C3",                               // checksum missing
        "0003a1b2c316",                             // lower-case digits
        "0004A1B2C316",                             // length says 4, 3 bytes follow
        "0083" + std::string(131 * 2, '0') + "00",  // 131 data bytes
        "FFF1000700",                               // an information record
    };
    for (const std::string& record : bad) {
        EXPECT_EQ(download.host.say("QXDLDT" + record), "ERR02\r\r>") << record;
    }
    EXPECT_EQ(download.host.say("QXDLDT0003A1B2C316"), kOk);
    EXPECT_EQ(download.host.say("QXDLDT000000"), kOk);
    EXPECT_EQ(download.host.adapter.image().entries,
              (std::vector<std::string>{"0003A1B2C316", "000000"}));
}

}  // namespace
}  // namespace korvane::simtest

namespace korvane::simtest {
namespace {

// Every command of the file sent to an adapter of `model` in download mode, without faults.
sim::FirmwareImage transferred(const sim::GeneratedUpdateFile& file, int model) {
    AdapterSettings settings;
    settings.model = model;
    CoreHost host(settings);
    host.say(model == sim::kModelZnb540 ? "QXDLZNB540" : "QXUPDT03");
    for (const std::string& command : file.commands) {
        host.send(command);
    }
    return host.adapter.image();
}

TEST(ImagePayload, FirmwareBytesEqualTheWritersImage) {
    struct Case {
        int family;
        std::size_t payload;
        int recordSize;
        sim::Defect defect;
    };
    const Case cases[] = {
        {2, 7 * 64, 0, sim::Defect::None},
        {2, 6 * 64 + 5, 0, sim::Defect::None},  // padded last line, filler line for even count
        {2, 5 * 64, 0, sim::Defect::RecordsAfterInfo},  // lines after the info line are sent
        {1, 1000, 128, sim::Defect::None},
        {1, 999, 130, sim::Defect::None},
        {1, 300, 1, sim::Defect::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.family) + "/" + std::to_string(c.payload));
        sim::UpdateFileRecipe recipe;
        recipe.family = c.family;
        recipe.payload = sim::samplePayload(c.payload, 3);
        recipe.defect = c.defect;
        if (c.family == 1) {
            recipe.recordSize = c.recordSize;
            recipe.modelName = "Korvane FS v1";
        }
        const sim::GeneratedUpdateFile file = sim::makeUpdateFile(recipe);
        ASSERT_TRUE(file.ok()) << file.error;
        const sim::FirmwareImage image =
            transferred(file, c.family == 1 ? sim::kModelZnb540 : sim::kModelZnb5412);
        EXPECT_EQ(image.entries, sentTexts(file));
        EXPECT_EQ(sim::payloadBytes(image), std::string(file.image.begin(), file.image.end()));
    }
}

}  // namespace
}  // namespace korvane::simtest
