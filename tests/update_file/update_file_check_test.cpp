#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/download_preflight.h"
#include "engine/failure_reason.h"
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
    FormatFault fault;  // what the family's own check finds (None: sound)
    bool tooShort;      // refused by size before the check
    bool onLastLine;    // the fault sits on the information record (else on the first line)
};

constexpr FormatFault kSound = FormatFault::None;

const DefectCase kDefectCases[] = {
    {1, Defect::None, kSound, false, false},
    {1, Defect::BadChecksum, FormatFault::Checksum, false, false},
    {1, Defect::BadByteTotal, FormatFault::ByteTotal, false, true},
    {1, Defect::ShortFile, kSound, true, false},
    {1, Defect::MissingLastLineEnd, kSound, false, false},
    {1, Defect::RecordsAfterInfo, kSound, false, false},
    {1, Defect::OverlongLine, FormatFault::TooManyDigits, false, false},
    {1, Defect::StringOverrun, FormatFault::StringOverrun, false, true},
    {2, Defect::None, kSound, false, false},
    {2, Defect::BadChecksum, FormatFault::LineSum, false, false},
    {2, Defect::BadByteTotal, FormatFault::ByteTotal, false, true},
    {2, Defect::ShortFile, kSound, true, false},
    {2, Defect::MissingLastLineEnd, FormatFault::NoLineEnd, false, true},
    {2, Defect::OddLineCount, kSound, false, false},
    {2, Defect::Type03Line, kSound, false, false},
    {2, Defect::RecordsAfterInfo, kSound, false, false},
    {2, Defect::OverlongLine, FormatFault::TooManyDigits, false, false},
    {2, Defect::StringOverrun, FormatFault::StringOverrun, false, true},
};

// Each line of the writer's files is one line for an editor, whatever the line end.
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
            const FileCheck ownCheck =
                c.family == 1 ? checkFamily1File(own) : checkFamily2File(own);
            EXPECT_EQ(ownCheck.fault, c.fault);

            UpdateFile file = loaded(written.bytes);
            Recorded reports;
            const FileCheck result = checkUpdateFile(file, Reporter(&reports));
            if (c.fault != kSound) {
                // The refusal of the file's own family, on its line, told right after the text.
                const auto line =
                    static_cast<std::int32_t>(c.onLastLine ? written.lines.size() : 1);
                EXPECT_EQ(result.fault, c.fault);
                EXPECT_EQ(result.family, c.family);
                EXPECT_EQ(result.line, line);
                EXPECT_EQ(ownCheck.line, line);
                ASSERT_EQ(reports.texts.size(), 2u);
                EXPECT_EQ(reports.texts[0], kFormatErrorText);
                EXPECT_EQ(reports.texts[1].rfind(
                              "  line " + std::to_string(line) + " of the update file: ", 0),
                          0u)
                    << reports.texts[1];
                continue;
            }
            ASSERT_TRUE(result.sound());
            EXPECT_TRUE(reports.texts.empty());
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

// What each kind of fault says: the fixed text, then the reason naming the first bad line as an
// editor numbers it (empty lines and every kind of line end counted) and what is wrong there.
TEST(UpdateFileCheck, TheReasonNamesTheFirstBadLineAndWhatIsWrong) {
    const sim::GeneratedUpdateFile one = make(recipe(1));
    const sim::GeneratedUpdateFile two = make(recipe(2, Defect::None, LineEnd::Lf));
    auto replaced = [](const sim::GeneratedUpdateFile& file, std::size_t index,
                       const std::string& line, const std::string& end) {
        std::vector<std::string> lines = file.lines;
        lines[index] = line;
        std::string out;
        for (const std::string& each : lines) {
            out += each + end;
        }
        return out;
    };
    // A record's checksum byte changed by one: "12" before it, the data's sum after it.
    auto offByOne = [](std::string line) {
        char& last = line.back();
        last = last == 'F' ? 'E' : static_cast<char>(last == '9' ? 'A' : last + 1);
        return line;
    };
    const std::string record3 = one.lines[2];
    const std::string badRecord3 = offByOne(record3);
    const std::string sum3 = record3.substr(record3.size() - 2);
    const std::string stated3 = badRecord3.substr(badRecord3.size() - 2);
    const std::string twoLast = two.lines.back();
    const std::size_t lastTwo = two.lines.size() - 1;

    struct Case {
        const char* what;
        std::string bytes;
        FormatFault fault;
        int family;
        int line;
        std::string words;
    };
    const Case cases[] = {
        {"family 1: third record's checksum", replaced(one, 2, badRecord3, "\r\n"),
         FormatFault::Checksum, 1, 3,
         "the record's checksum is " + stated3 + ", its data bytes sum to " + sum3},
        {"family 1: empty lines before the bad record count",
         one.lines[0] + "\n\n\r\n" +
             replaced(one, 2, badRecord3, "\n").substr(one.lines[0].size() + 1),
         FormatFault::Checksum, 1, 5, "checksum is " + stated3},
        {"family 1: a record announcing 131 bytes",
         replaced(one, 1, "0083" + std::string(131 * 2, '0') + "00", "\r\n"),
         FormatFault::RecordTooLong, 1, 2, "announces 131 data bytes, more than the 130"},
        {"family 1: a record one checksum digit short", replaced(one, 1, "0001112", "\r\n"),
         FormatFault::TooFewDigits, 1, 2, "7 hex digits, fewer than the 8 its record needs"},
        {"family 1: a line of 272 digits",
         replaced(one, 1, one.lines[1] + std::string(10, '0'), "\r"), FormatFault::TooManyDigits, 1,
         2, "more than the 270 of the longest record"},
        {"family 1: byte total one too high", make(recipe(1, Defect::BadByteTotal)).bytes,
         FormatFault::ByteTotal, 1, static_cast<int>(one.lines.size()),
         "the information record declares a byte total of "},
        {"family 1: no information record", replaced(one, one.lines.size() - 1, "000000", "\r\n"),
         FormatFault::NoInformation, 1, static_cast<int>(one.lines.size()),
         "ends here without its information record"},
        {"family 2: fourth line's byte sum", replaced(two, 3, offByOne(two.lines[3]), "\n"),
         FormatFault::LineSum, 2, 4, ", not FF"},
        {"family 2: a colon in column 1 of line 2", replaced(two, 1, ":" + two.lines[1], "\n"),
         FormatFault::NotHexDigit, 2, 2, "column 1 holds \":\", which is not a hex digit"},
        {"family 2: a blank in line 3",
         replaced(two, 2, "0" + two.lines[2].substr(1, 9) + " " + two.lines[2].substr(10), "\n"),
         FormatFault::NotHexDigit, 2, 3, "column 11 holds a blank"},
        {"family 2: a line one digit short", replaced(two, 1, two.lines[1].substr(1), "\r\n"),
         FormatFault::TooFewDigits, 2, 2, "135 hex digits, where every line holds exactly 136"},
        {"family 2: an empty line after the first",
         two.lines[0] + "\n\n" + two.bytes.substr(two.lines[0].size() + 1), FormatFault::EmptyLine,
         2, 2, "an empty line"},
        {"family 2: an empty line after line 2",
         two.lines[0] + "\r\n" + two.lines[1] + "\r\n\r\n" +
             two.bytes.substr(two.lines[0].size() + two.lines[1].size() + 2),
         FormatFault::EmptyLine, 2, 3, "an empty line, where every line holds 136 hex digits"},
        {"family 2: byte total one too high",
         make(recipe(2, Defect::BadByteTotal, LineEnd::Cr)).bytes, FormatFault::ByteTotal, 2,
         static_cast<int>(two.lines.size()), "declares a byte total of "},
        {"family 2: no line end after the information line",
         two.bytes.substr(0, two.bytes.size() - 1), FormatFault::NoLineEnd, 2,
         static_cast<int>(two.lines.size()), "the last line has no line end"},
        {"family 2: no information line",
         two.bytes.substr(0, two.bytes.size() - twoLast.size() - 1), FormatFault::NoInformation, 2,
         static_cast<int>(lastTwo), "ends here without its information record"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UpdateFile file = loaded(c.bytes);
        Recorded reports;
        const FileCheck result = checkUpdateFile(file, Reporter(&reports));
        EXPECT_EQ(result.fault, c.fault);
        EXPECT_EQ(result.family, c.family);
        EXPECT_EQ(result.line, c.line);
        ASSERT_EQ(reports.texts.size(), 2u);
        EXPECT_EQ(reports.texts[0], kFormatErrorText);
        const std::string& reason = reports.texts[1];
        EXPECT_EQ(reason.rfind("  line " + std::to_string(c.line) + " of the update file: ", 0), 0u)
            << reason;
        EXPECT_NE(reason.find(c.words), std::string::npos) << reason;
        EXPECT_TRUE(reason.ends_with("; the file is damaged or is not an update file.\r\n"))
            << reason;
    }
}

TEST(UpdateFileCheck, StringsThatFillTheirRecordExactlyAreSound) {
    sim::UpdateFileRecipe two = recipe(2);
    two.productText = std::string(20, 'P');
    two.modelName = "ZNB5411";
    two.versionText = "V" + std::string(25, '1');  // 3 + 20 + 7 + 26 = 56 bytes, all of 7..62
    UpdateFile file2 = loaded(make(two).bytes);
    ASSERT_TRUE(checkFamily2File(file2).sound());
    EXPECT_EQ(std::string(file2.productText), two.productText);
    EXPECT_EQ(std::string(file2.versionText), two.versionText);

    // Family 1: 61 + 62 characters make a 130-byte information record of 270 digits.
    sim::UpdateFileRecipe one = recipe(1);
    one.productText = std::string(61, 'p');
    one.modelName = "Korvan" + std::string(56, 'm');
    const sim::GeneratedUpdateFile written = make(one);
    ASSERT_EQ(written.lines.back().size(), kMaxFamily1Digits);
    UpdateFile file1 = loaded(written.bytes);
    ASSERT_TRUE(checkFamily1File(file1).sound());
    EXPECT_EQ(std::string(file1.productText), one.productText);
    EXPECT_EQ(std::string(file1.modelName), one.modelName);

    // One digit more than the longest sound line is refused, even though it is only filler.
    std::vector<std::string> lines = written.lines;
    lines.back() += "0";
    UpdateFile longer = loaded(crlfLines(lines));
    EXPECT_EQ(checkFamily1File(longer).fault, FormatFault::TooManyDigits);
}

// --- Family 1 -------------------------------------------------------------------------------

TEST(Family1Check, NinetyNineRecordsAndTheInfoRecordMakeLineCount100) {
    sim::UpdateFileRecipe r = recipe(1);
    r.payload = sim::samplePayload(99 * 10, 3);
    r.recordSize = 10;
    UpdateFile file = loaded(make(r).bytes);
    ASSERT_TRUE(checkUpdateFile(file, Reporter()).sound());
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
        EXPECT_TRUE(checkFamily1File(file).sound()) << "a 130-byte record is sound";
    }

    const std::string record131 = "0083" + std::string(131 * 2, '0') + "00";
    struct Case {
        const char* what;
        std::string firstLine;  // put before the sound file's lines
        FormatFault expected;
    };
    const Case cases[] = {
        {"record of 0 data bytes with checksum 00", "000000", kSound},
        {"record of 0 data bytes with checksum 01", "000001", FormatFault::Checksum},
        {"record announcing 131 data bytes", record131, FormatFault::RecordTooLong},
        {"line with no digit at all", ": ", FormatFault::TooFewDigits},
        {"empty line at the very start of the file", "", FormatFault::TooFewDigits},
        {"line with only its length", "0001", FormatFault::TooFewDigits},
        {"record without its checksum digits", "000211", FormatFault::TooFewDigits},
        {"record with digits after its checksum", "0000000F", kSound},
        {"record one checksum digit short", "0001112", FormatFault::TooFewDigits},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = written.lines;
        lines.insert(lines.begin(), c.firstLine);
        UpdateFile file = loaded(crlfLines(lines));
        const FileCheck check = checkFamily1File(file);
        EXPECT_EQ(check.fault, c.expected) << c.what;
        EXPECT_EQ(check.line, c.expected == kSound ? 0 : 1) << c.what;
    }
}

TEST(Family1Check, InformationRecordNeedsSevenDataBytes) {
    // 6 data bytes with a correct checksum: refused for its length, before the total.
    const std::string info6 =
        "FFF10006"
        "000102030405"
        "0F";
    UpdateFile file = loaded("000000\r\n" + info6 + "\r\n");
    const FileCheck check = checkFamily1File(file);
    EXPECT_EQ(check.fault, FormatFault::InformationTooShort);
    EXPECT_EQ(check.stated, 7);
    EXPECT_EQ(check.found, 6);
    EXPECT_EQ(check.line, 2);
    EXPECT_EQ(file.lineCount, 2);

    UpdateFile noInfo = loaded("000000\r\n000000\r\n");
    EXPECT_EQ(checkFamily1File(noInfo).fault, FormatFault::NoInformation);
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
    ASSERT_TRUE(checkFamily1File(file).sound());
    EXPECT_EQ(file.lineCount, static_cast<std::int32_t>(written.lines.size()));
    EXPECT_STREQ(file.modelName, "Korvane FS BT 2");
}

TEST(Family1Check, LinesAfterTheInformationRecordAreNotExamined) {
    const sim::GeneratedUpdateFile written = make(recipe(1));
    UpdateFile file = loaded(written.bytes + "not a record at all\r\n" + std::string(400, 'F'));
    EXPECT_TRUE(checkFamily1File(file).sound());
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

    const int last = static_cast<int>(lines.size());
    constexpr FormatFault kDigit = FormatFault::NotHexDigit;
    constexpr FormatFault kShort = FormatFault::TooFewDigits;
    constexpr FormatFault kEmpty = FormatFault::EmptyLine;

    struct Case {
        const char* what;
        std::string bytes;
        FormatFault expected;
        int line;  // as an editor numbers it
    };
    const Case cases[] = {
        {"sound, LF", written.bytes, kSound, 0},
        {"sound, CR LF", join("\r\n"), kSound, 0},
        {"sound, CR", join("\r"), kSound, 0},
        {"lower-case digits", lowerCase, kSound, 0},
        {"leading colon (137 characters before LF)", withFirstLine(":" + lines[0] + "\n"), kDigit,
         1},
        {"blank inside the line",
         withFirstLine(lines[0].substr(0, 60) + " " + lines[0].substr(60) + "\n"), kDigit, 1},
        {"135 digits and a colon", withFirstLine(lines[0].substr(1) + ":\n"), kDigit, 1},
        {"135 digits and CR LF", withFirstLine(lines[0].substr(1) + "\r\n"), kShort, 1},
        {"134 digits and CR LF CR LF", withFirstLine(lines[0].substr(2) + "\r\n\r\n"), kShort, 1},
        {"empty line after a line (LF LF)", withFirstLine(lines[0] + "\n\n"), kEmpty, 2},
        {"empty line after a line (CR CR)", join("\r\r"), kEmpty, 2},
        {"empty line after a line (CR LF CR LF)", join("\r\n\r\n"), kEmpty, 2},
        {"LF CR as line end", join("\n\r"), kEmpty, 2},
        {"empty line before the first line", "\n" + written.bytes, kEmpty, 1},
        {"information line without line end", written.bytes.substr(0, written.bytes.size() - 1),
         FormatFault::NoLineEnd, last},
        {"no information line", withoutInfo, FormatFault::NoInformation, last - 1},
        {"blank in the information line",
         withoutInfo + info.substr(0, 135) + " " + info.substr(135) + "\n", kDigit, last},
        {"lines after the information line are not examined",
         written.bytes + "garbage\n\n" + std::string(300, 'x'), kSound, 0},
        {"empty file", "", kEmpty, 1},
    };
    for (const Case& c : cases) {
        UpdateFile file = loaded(c.bytes);
        const FileCheck check = checkFamily2File(file);
        EXPECT_EQ(check.fault, c.expected) << c.what;
        EXPECT_EQ(check.line, c.line) << c.what;
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
        const FileCheck check = checkFamily2File(file);
        EXPECT_EQ(check.sound(), c.result == 1) << c.model << " " << c.version;
        if (c.result == 1) {
            EXPECT_EQ(file.fileVersion, c.fileVersion) << c.model << " " << c.version;
        } else {
            EXPECT_EQ(check.fault, FormatFault::NoVersionLetter) << c.version;
            EXPECT_EQ(check.text, c.version);
            EXPECT_NE(formatFaultReason(check).find("the version text \"" + check.text +
                                                    "\" has no \"V\" before its number"),
                      std::string::npos)
                << formatFaultReason(check);
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

TEST(CheckUpdateFile, RefusedFileGivesTheTextAndItsReasonThenProgress2AndReleasesTheBuffer) {
    const std::pair<std::string, std::string> bad[] = {
        {make(recipe(1, Defect::BadChecksum)).bytes,
         "  line 1 of the update file: the record's checksum is "},
        {make(recipe(2, Defect::BadByteTotal)).bytes, "declares a byte total of "},
        {std::string(200, 'A'), "  line 1 of the update file: the record announces 43690 data"},
        {std::string(200, '\n'), "  line 1 of the update file: an empty line"},
    };
    for (const auto& [bytes, words] : bad) {
        UpdateFile file = loaded(bytes);
        Recorded reports;
        EXPECT_FALSE(checkUpdateFile(file, Reporter(&reports)).sound());
        ASSERT_EQ(reports.texts.size(), 2u);
        EXPECT_EQ(reports.texts[0], "**Failed** update file format error!\r\n");
        EXPECT_NE(reports.texts[1].find(words), std::string::npos) << reports.texts[1];
        EXPECT_EQ(reports.progress, std::vector<int>{2});
        EXPECT_EQ(reports.order, (std::vector<char>{'t', 't', 'p'}));
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
        EXPECT_TRUE(checkUpdateFile(file, Reporter(&reports)).sound());
        EXPECT_TRUE(reports.texts.empty());
        EXPECT_EQ(reports.progress, std::vector<int>{2});
        EXPECT_EQ(std::string(file.data.begin(), file.data.end()), bytes);
        EXPECT_EQ(file.family, family);
    }
}

TEST(CheckUpdateFile, ASizeBeyondTheBufferIsNotRead) {
    UpdateFile file = loaded(make(recipe(2)).bytes);
    file.size = static_cast<std::int32_t>(file.data.size()) + 500;
    EXPECT_TRUE(checkUpdateFile(file, Reporter()).sound());
    UpdateFile shortBuffer = loaded(make(recipe(1)).bytes);
    shortBuffer.data.resize(100);
    shortBuffer.data.shrink_to_fit();
    EXPECT_FALSE(checkUpdateFile(shortBuffer, Reporter()).sound());
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

// The pre-flight walks the lines as the download pairs them: the last line of a file with an odd
// number of lines is never sent, so it is never refused; the last line of an even-numbered file
// is sent, so an unsendable one is refused before download mode.
TEST(DownloadPreflight, ChecksTheLastLineOnlyWhenTheDownloadSendsIt) {
    sim::UpdateFileRecipe recipe;
    recipe.payload.assign(64 * 5, 0x42);
    recipe.defect = Defect::RecordsAfterInfo;
    const std::vector<std::string> sound = sim::makeUpdateFile(recipe).lines;
    ASSERT_EQ(sound.size() % 2, 0u);
    for (const bool oddCount : {false, true}) {
        SCOPED_TRACE(oddCount ? "odd" : "even");
        std::vector<std::string> lines = sound;
        if (oddCount) {
            lines.pop_back();
        }
        // The last line becomes one of record kind 03, its byte sum kept at 0xFF.
        std::string& last = lines.back();
        const int sum = std::stoi(last.substr(last.size() - 2), nullptr, 16);
        last.replace(0, 2, "03");
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", (sum - 3) & 0xFF);
        last.replace(last.size() - 2, 2, digits);
        UpdateFile file;
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        file.data.assign(text.begin(), text.end());
        file.size = static_cast<std::int32_t>(file.data.size());
        file.family = 2;
        const std::optional<int> unsendable = firstUnsendableLine(file);
        if (oddCount) {
            EXPECT_FALSE(unsendable.has_value());
        } else {
            EXPECT_EQ(unsendable, std::optional<int>(static_cast<int>(lines.size())));
        }
    }
}

}  // namespace
}  // namespace korvane
