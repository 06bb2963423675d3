#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/model_catalog.h"
#include "engine/update_file.h"
#include "sim/update_file_writer.h"

namespace korvane {
namespace {

using sim::Defect;
using sim::LineEnd;

UpdateFile loaded(const std::string& bytes) {
    UpdateFile file;
    file.data.assign(bytes.begin(), bytes.end());
    file.size = static_cast<std::int32_t>(bytes.size());
    return file;
}

sim::UpdateFileRecipe recipe(int family, Defect defect = Defect::None,
                             LineEnd end = LineEnd::CrLf) {
    sim::UpdateFileRecipe r;
    r.family = family;
    r.payload = sim::samplePayload(1000, 7);
    r.lineEnd = end;
    r.defect = defect;
    if (family == 1) {
        r.productText = "Korvane FS";
        r.modelName = "Korvane FS BT 2";
    }
    return r;
}

sim::GeneratedUpdateFile make(const sim::UpdateFileRecipe& r) {
    sim::GeneratedUpdateFile file = sim::makeUpdateFile(r);
    EXPECT_TRUE(file.ok()) << file.error;
    return file;
}

// Joins line texts (and anything else) with CR LF after each.
std::string crlfLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\r\n";
    }
    return out;
}

struct Recorded : JobReports {
    std::vector<std::string> texts;
    std::vector<int> progress;
    std::vector<char> order;  // 't' or 'p' per report

    void onText(const char* text) override {
        texts.emplace_back(text);
        order.push_back('t');
    }
    void onProgress(int percent) override {
        progress.push_back(percent);
        order.push_back('p');
    }
};

// --- Both families on the writer's sound and broken files, in every line-end style -----------

struct DefectCase {
    int family;
    Defect defect;
    int familyCheck;  // what the family's own check gives (1: sound)
    bool tooShort;    // refused by size before the check
};

const DefectCase kDefectCases[] = {
    {1, Defect::None, 1, false},
    {1, Defect::BadChecksum, -2, false},
    {1, Defect::BadByteTotal, -1, false},
    {1, Defect::ShortFile, 0, true},
    {1, Defect::MissingLastLineEnd, 1, false},
    {1, Defect::RecordsAfterInfo, 1, false},
    {1, Defect::OverlongLine, -2, false},
    {1, Defect::StringOverrun, -3, false},
    {2, Defect::None, 1, false},
    {2, Defect::BadChecksum, -1, false},
    {2, Defect::BadByteTotal, -1, false},
    {2, Defect::ShortFile, 0, true},
    {2, Defect::MissingLastLineEnd, -1, false},
    {2, Defect::OddLineCount, 1, false},
    {2, Defect::Type03Line, 1, false},
    {2, Defect::RecordsAfterInfo, 1, false},
    {2, Defect::OverlongLine, -1, false},
    {2, Defect::StringOverrun, -1, false},
};

TEST(UpdateFileCheck, WriterFilesOfEveryDefectAndLineEnd) {
    for (LineEnd end : {LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr}) {
        for (const DefectCase& c : kDefectCases) {
            SCOPED_TRACE(testing::Message()
                         << "family " << c.family << " defect " << sim::defectName(c.defect)
                         << " line end " << static_cast<int>(end));
            const sim::GeneratedUpdateFile written = make(recipe(c.family, c.defect, end));
            if (c.tooShort) {
                EXPECT_LT(written.bytes.size(), static_cast<std::size_t>(kMinUpdateFileSize));
                continue;
            }
            ASSERT_GE(written.bytes.size(), static_cast<std::size_t>(kMinUpdateFileSize));

            UpdateFile own = loaded(written.bytes);
            EXPECT_EQ(c.family == 1 ? checkFamily1File(own) : checkFamily2File(own), c.familyCheck);

            UpdateFile file = loaded(written.bytes);
            const int result = checkUpdateFile(file, Reporter());
            if (c.familyCheck != 1) {
                EXPECT_LT(result, 0);
                continue;
            }
            ASSERT_EQ(result, 1);
            EXPECT_EQ(file.family, c.family);
            const std::size_t after = c.defect == Defect::RecordsAfterInfo ? 2 : 0;
            EXPECT_EQ(file.lineCount, static_cast<std::int32_t>(written.lines.size() - after));
            EXPECT_DOUBLE_EQ(file.progressStep, 90.0 / file.lineCount);
            EXPECT_EQ(file.size, static_cast<std::int32_t>(written.bytes.size()));
            if (c.family == 1) {
                EXPECT_STREQ(file.productText, "Korvane FS");
                EXPECT_STREQ(file.modelName, "Korvane FS BT 2");
            } else {
                EXPECT_STREQ(file.productText, "Korvane FD");
                EXPECT_STREQ(file.modelName, "ZNB5412");
                EXPECT_STREQ(file.versionText, "V2.2.3X");
                EXPECT_EQ(file.fileVersion, 2239);
            }
        }
    }
}

TEST(UpdateFileCheck, StringsThatFillTheirRecordExactlyAreSound) {
    sim::UpdateFileRecipe two = recipe(2);
    two.productText = std::string(20, 'P');
    two.modelName = "ZNB5411";
    two.versionText = "V" + std::string(25, '1');  // 3 + 20 + 7 + 26 = 56 bytes, all of 7..62
    UpdateFile file2 = loaded(make(two).bytes);
    ASSERT_EQ(checkFamily2File(file2), 1);
    EXPECT_EQ(std::string(file2.productText), two.productText);
    EXPECT_EQ(std::string(file2.versionText), two.versionText);

    // Family 1: 61 + 62 characters make a 130-byte information record of 270 digits.
    sim::UpdateFileRecipe one = recipe(1);
    one.productText = std::string(61, 'p');
    one.modelName = "Korvan" + std::string(56, 'm');
    const sim::GeneratedUpdateFile written = make(one);
    ASSERT_EQ(written.lines.back().size(), kMaxFamily1Digits);
    UpdateFile file1 = loaded(written.bytes);
    ASSERT_EQ(checkFamily1File(file1), 1);
    EXPECT_EQ(std::string(file1.productText), one.productText);
    EXPECT_EQ(std::string(file1.modelName), one.modelName);

    // One digit more than the longest sound line is refused, even though it is only filler.
    std::vector<std::string> lines = written.lines;
    lines.back() += "0";
    UpdateFile longer = loaded(crlfLines(lines));
    EXPECT_EQ(checkFamily1File(longer), -2);
}

// --- Family 1 -------------------------------------------------------------------------------

TEST(Family1Check, NinetyNineRecordsAndTheInfoRecordMakeLineCount100) {
    sim::UpdateFileRecipe r = recipe(1);
    r.payload = sim::samplePayload(99 * 10, 3);
    r.recordSize = 10;
    UpdateFile file = loaded(make(r).bytes);
    ASSERT_EQ(checkUpdateFile(file, Reporter()), 1);
    EXPECT_EQ(file.lineCount, 100);
    EXPECT_DOUBLE_EQ(file.progressStep, 0.9);
}

TEST(Family1Check, RecordLengthAndDigitLimits) {
    sim::UpdateFileRecipe r = recipe(1);
    r.recordSize = 130;
    const sim::GeneratedUpdateFile written = make(r);
    ASSERT_EQ(written.lines[0].size(), (2u + 130u + 1u) * 2u);
    {
        UpdateFile file = loaded(written.bytes);
        EXPECT_EQ(checkFamily1File(file), 1) << "a 130-byte record is sound";
    }

    const std::string record131 = "0083" + std::string(131 * 2, '0') + "00";
    struct Case {
        const char* what;
        std::string firstLine;  // put before the sound file's lines
        int expected;
    };
    const Case cases[] = {
        {"record of 0 data bytes with checksum 00", "000000", 1},
        {"record of 0 data bytes with checksum 01", "000001", -2},
        {"record announcing 131 data bytes", record131, -2},
        {"line with no digit at all", ": ", -2},
        {"empty line at the very start of the file", "", -2},
        {"line with only its length", "0001", -2},
        {"record without its checksum digits", "000211", -2},
        {"record with digits after its checksum", "0000000F", 1},
        {"record one checksum digit short", "0001112", -2},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = written.lines;
        lines.insert(lines.begin(), c.firstLine);
        UpdateFile file = loaded(crlfLines(lines));
        EXPECT_EQ(checkFamily1File(file), c.expected) << c.what;
    }
}

TEST(Family1Check, InformationRecordNeedsSevenDataBytes) {
    // 6 data bytes with a correct checksum: refused for its length, before the total.
    const std::string info6 =
        "FFF10006"
        "000102030405"
        "0F";
    UpdateFile file = loaded("000000\r\n" + info6 + "\r\n");
    EXPECT_EQ(checkFamily1File(file), -3);
    EXPECT_EQ(file.lineCount, 2);

    UpdateFile noInfo = loaded("000000\r\n000000\r\n");
    EXPECT_EQ(checkFamily1File(noInfo), -1);
    EXPECT_EQ(noInfo.lineCount, 2);
}

TEST(Family1Check, EmptyLinesLowerCaseAndStrayCharactersAreHarmless) {
    const sim::GeneratedUpdateFile written = make(recipe(1));
    std::string messy;
    for (const std::string& line : written.lines) {
        std::string lower = line;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        messy += ":" + lower + " \r\n\r\n\n";
    }
    UpdateFile file = loaded(messy);
    ASSERT_EQ(checkFamily1File(file), 1);
    EXPECT_EQ(file.lineCount, static_cast<std::int32_t>(written.lines.size()));
    EXPECT_STREQ(file.modelName, "Korvane FS BT 2");
}

TEST(Family1Check, LinesAfterTheInformationRecordAreNotExamined) {
    const sim::GeneratedUpdateFile written = make(recipe(1));
    UpdateFile file = loaded(written.bytes + "not a record at all\r\n" + std::string(400, 'F'));
    EXPECT_EQ(checkFamily1File(file), 1);
}

// --- Family 2 -------------------------------------------------------------------------------

TEST(Family2Check, LinesMustBe136DigitsAndOneLineEnd) {
    const sim::GeneratedUpdateFile written = make(recipe(2, Defect::None, LineEnd::Lf));
    const std::vector<std::string>& lines = written.lines;
    auto join = [&](const std::string& end) {
        std::string out;
        for (const std::string& line : lines) {
            out += line + end;
        }
        return out;
    };
    auto withFirstLine = [&](const std::string& first) {
        return first + written.bytes.substr(lines[0].size() + 1);
    };
    std::string lowerCase = written.bytes;
    std::transform(lowerCase.begin(), lowerCase.end(), lowerCase.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string info = lines.back();
    const std::string withoutInfo = written.bytes.substr(0, written.bytes.size() - info.size() - 1);

    struct Case {
        const char* what;
        std::string bytes;
        int expected;
    };
    const Case cases[] = {
        {"sound, LF", written.bytes, 1},
        {"sound, CR LF", join("\r\n"), 1},
        {"sound, CR", join("\r"), 1},
        {"lower-case digits", lowerCase, 1},
        {"leading colon (137 characters before LF)", withFirstLine(":" + lines[0] + "\n"), -1},
        {"blank inside the line",
         withFirstLine(lines[0].substr(0, 60) + " " + lines[0].substr(60) + "\n"), -1},
        {"135 digits and a colon", withFirstLine(lines[0].substr(1) + ":\n"), -1},
        {"135 digits and CR LF", withFirstLine(lines[0].substr(1) + "\r\n"), -1},
        {"134 digits and CR LF CR LF", withFirstLine(lines[0].substr(2) + "\r\n\r\n"), -1},
        {"empty line after a line (LF LF)", withFirstLine(lines[0] + "\n\n"), -1},
        {"empty line after a line (CR CR)", join("\r\r"), -1},
        {"empty line after a line (CR LF CR LF)", join("\r\n\r\n"), -1},
        {"LF CR as line end", join("\n\r"), -1},
        {"empty line before the first line", "\n" + written.bytes, -1},
        {"information line without line end", written.bytes.substr(0, written.bytes.size() - 1),
         -1},
        {"no information line", withoutInfo, -2},
        {"blank in the information line",
         withoutInfo + info.substr(0, 135) + " " + info.substr(135) + "\n", -1},
        {"lines after the information line are not examined",
         written.bytes + "garbage\n\n" + std::string(300, 'x'), 1},
        {"empty file", "", -1},
    };
    for (const Case& c : cases) {
        UpdateFile file = loaded(c.bytes);
        EXPECT_EQ(checkFamily2File(file), c.expected) << c.what;
    }
}

TEST(Family2Check, FileVersionFollowsTheModel) {
    struct Case {
        const char* model;
        const char* version;
        int result;
        std::int32_t fileVersion;
    };
    const Case cases[] = {
        {"Azur03", "V4.0.0X", 1, 4005},  {"Azur01", "V4.0.0X", 1, 4005},
        {"ZNB5411", "V4.0.0X", 1, 4009}, {"ZNB5413", "V4.0.0X", 1, 4009},
        {"ZNB5412", "V2.2.2X", 1, 2229}, {"ZNB5412", "Korvane_FD_V2.2.3", 1, 223},
        {"", "V1.0X", 1, 109},           {"Unknown", "V1.0X", 1, 109},
        {"ZNB5412", "V2.2X1", 1, 22},   // only a final X is replaced
        {"ZNB5412", "2.2.2X", -1, 0},   // no "V"
        {"ZNB5412", "v2.2.2X", -1, 0},  // the letter is upper-case only
    };
    for (const Case& c : cases) {
        sim::UpdateFileRecipe r = recipe(2);
        r.modelName = c.model;
        r.versionText = c.version;
        UpdateFile file = loaded(make(r).bytes);
        EXPECT_EQ(checkFamily2File(file), c.result) << c.model << " " << c.version;
        if (c.result == 1) {
            EXPECT_EQ(file.fileVersion, c.fileVersion) << c.model << " " << c.version;
        }
    }
}

TEST(DeriveFileVersion, DotsRemovedAndFinalXReplaced) {
    EXPECT_EQ(deriveFileVersion("xV4.0.0X", 0), 4005);
    EXPECT_EQ(deriveFileVersion("V4.0.0X", 255), 4009);
    EXPECT_EQ(deriveFileVersion("V", 3), 0);
    EXPECT_EQ(deriveFileVersion("V99999999999", 3), 2147483647);
    EXPECT_EQ(deriveFileVersion("", 3), std::nullopt);
}

// --- The whole check as the job runs it -------------------------------------------------------

TEST(CheckUpdateFile, RefusedFileGivesOneTextThenProgress2AndReleasesTheBuffer) {
    const std::string bad[] = {
        make(recipe(1, Defect::BadChecksum)).bytes,
        make(recipe(2, Defect::BadByteTotal)).bytes,
        std::string(200, 'A'),
        std::string(200, '\n'),
    };
    for (const std::string& bytes : bad) {
        UpdateFile file = loaded(bytes);
        Recorded reports;
        EXPECT_LT(checkUpdateFile(file, Reporter(&reports)), 0);
        EXPECT_EQ(reports.texts,
                  std::vector<std::string>{"**Failed** update file format error!\r\n"});
        EXPECT_EQ(reports.progress, std::vector<int>{2});
        EXPECT_EQ(reports.order, (std::vector<char>{'t', 'p'}));
        EXPECT_TRUE(file.data.empty());
        EXPECT_EQ(file.size, 0);
        EXPECT_EQ(file.family, 0);
        EXPECT_GT(file.progressStep, 0.0);
    }
}

TEST(CheckUpdateFile, SoundFileGivesOnlyProgress2AndKeepsTheBuffer) {
    for (int family : {1, 2}) {
        const std::string bytes = make(recipe(family)).bytes;
        UpdateFile file = loaded(bytes);
        Recorded reports;
        EXPECT_EQ(checkUpdateFile(file, Reporter(&reports)), 1);
        EXPECT_TRUE(reports.texts.empty());
        EXPECT_EQ(reports.progress, std::vector<int>{2});
        EXPECT_EQ(std::string(file.data.begin(), file.data.end()), bytes);
        EXPECT_EQ(file.family, family);
    }
}

TEST(CheckUpdateFile, ASizeBeyondTheBufferIsNotRead) {
    UpdateFile file = loaded(make(recipe(2)).bytes);
    file.size = static_cast<std::int32_t>(file.data.size()) + 500;
    EXPECT_EQ(checkUpdateFile(file, Reporter()), 1);
    UpdateFile shortBuffer = loaded(make(recipe(1)).bytes);
    shortBuffer.data.resize(100);
    shortBuffer.data.shrink_to_fit();
    EXPECT_LT(checkUpdateFile(shortBuffer, Reporter()), 0);
}

// --- Model names ------------------------------------------------------------------------------

TEST(LookupModelName, ExactCaseSensitiveMatchInTableOrder) {
    const std::optional<ModelCode> none;
    const std::pair<const char*, std::optional<ModelCode>> cases[] = {
        {"Azur03", 0}, {"ZNB5413", 1},    {"ZNB5411", 2},   {"ZNB5412", 3},     {"Azur01", 4},
        {"", 5},       {"znb5412", none}, {"ZNB541", none}, {"ZNB54120", none}, {"ZNB540", none},
    };
    for (const auto& [name, code] : cases) {
        EXPECT_EQ(lookupModelName(name), code) << '"' << name << '"';
    }
    EXPECT_EQ(lookupModelName(nullptr), none);
}

TEST(Family1ModelCode, BluetoothPrefixFirstThenSixCharacters) {
    const std::pair<const char*, int> cases[] = {
        {"Korvane FS BT", 6}, {"Korvane FS BT v2", 6}, {"Korvane FS v1.0", 5}, {"Korvan", 5},
        {"Korvane FS B", 5},  {"Korva", 255},          {"korvane FS v", 255},  {"", 255},
    };
    for (const auto& [name, code] : cases) {
        EXPECT_EQ(family1ModelCode(name), code) << '"' << name << '"';
    }
}

}  // namespace
}  // namespace korvane
