#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "sim/update_file_writer.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using sim::Defect;

constexpr const char* kFormatError = "**Failed** update file format error!\n";
constexpr const char* kInvalid = "**Failed** File is Invalid!\n";

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun run(const CliArgs& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = runCli(args, out, err);
    return {code, out.str(), err.str()};
}

class CheckCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("korvane-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string writeBytes(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    std::string writeFile(const std::string& name, sim::UpdateFileRecipe recipe) {
        const sim::GeneratedUpdateFile file = sim::makeUpdateFile(recipe);
        EXPECT_TRUE(file.ok()) << file.error;
        return writeBytes(name, file.bytes);
    }

    static sim::UpdateFileRecipe recipe(int family, Defect defect = Defect::None) {
        sim::UpdateFileRecipe r;
        r.family = family;
        r.payload = sim::samplePayload(2000, 11);
        r.defect = defect;
        if (family == 1) {
            r.productText = "Korvane FS";
            r.modelName = "Korvane FS v1.4";
        }
        return r;
    }

    fs::path dir_;
};

TEST_F(CheckCommand, SoundFamily2FileShowsWhatItHolds) {
    sim::UpdateFileRecipe r = recipe(2);
    r.modelName = "Azur01";
    r.versionText = "V4.0.1X";
    const std::string path = writeFile("f2.hex", r);
    const CliRun result = run({"check", path});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.err, "");
    const std::string expected = "File:         " + path +
                                 "\n"
                                 "Size:         " +
                                 std::to_string(fs::file_size(path)) +
                                 " bytes\n"
                                 "Family:       2 (line download)\n"
                                 "Product:      Korvane FD\n"
                                 "Model:        Azur01 (model code 4)\n"
                                 "Version:      V4.0.1X\n"
                                 "File version: 4015\n"
                                 "Lines:        34\n";
    EXPECT_EQ(result.out, expected);
}

TEST_F(CheckCommand, SoundFamily1FileShowsItsModelCodeAndNoVersion) {
    const CliRun result = run({"check", writeFile("f1.hex", recipe(1))});
    EXPECT_EQ(result.code, 0);
    EXPECT_NE(result.out.find("Family:       1 (block download)\n"), std::string::npos);
    EXPECT_NE(result.out.find("Model:        Korvane FS v1.4 (model code 5)\n"), std::string::npos);
    EXPECT_NE(result.out.find("Lines:        17\n"), std::string::npos);  // 16 records + info
    EXPECT_EQ(result.out.find("Version:"), std::string::npos);
    EXPECT_EQ(result.out.find("File version:"), std::string::npos);
}

TEST_F(CheckCommand, EveryDefectGetsTheUpdatesVerdict) {
    // A line the download cannot send is refused like the update refuses it, before download
    // mode, and named.
    const std::string type03AfterInfo =
        std::to_string(sim::makeUpdateFile(recipe(2, Defect::Type03AfterInfo)).lines.size() - 1);
    const std::string unsendable = std::string(kFormatError) + "Line ";
    struct Case {
        int family;
        Defect defect;
        int code;
        std::string failure;  // the whole output on failure
        bool warns;           // an odd line count is pointed out on standard error
    };
    const Case cases[] = {
        {1, Defect::BadChecksum, 1, kFormatError, false},
        {1, Defect::BadByteTotal, 1, kFormatError, false},
        {1, Defect::ShortFile, 1, kInvalid, false},
        {1, Defect::MissingLastLineEnd, 0, "", false},
        {1, Defect::RecordsAfterInfo, 0, "", false},
        {1, Defect::OverlongLine, 1, kFormatError, false},
        {1, Defect::StringOverrun, 1, kFormatError, false},
        {2, Defect::BadChecksum, 1, kFormatError, false},
        {2, Defect::BadByteTotal, 1, kFormatError, false},
        {2, Defect::ShortFile, 1, kInvalid, false},
        {2, Defect::MissingLastLineEnd, 1, kFormatError, false},
        {2, Defect::OddLineCount, 0, "", true},
        {2, Defect::Type03Line, 1, unsendable + "1 cannot be sent to the adapter.\n", false},
        {2, Defect::RecordsAfterInfo, 0, "", false},
        {2, Defect::Type03AfterInfo, 1,
         unsendable + type03AfterInfo + " cannot be sent to the adapter.\n", false},
        {2, Defect::OverlongLine, 1, kFormatError, false},
        {2, Defect::StringOverrun, 1, kFormatError, false},
    };
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.family) + "-" + sim::defectName(c.defect);
        const CliRun result = run({"check", writeFile(name, recipe(c.family, c.defect))});
        EXPECT_EQ(result.code, c.code) << name;
        if (!c.failure.empty()) {
            EXPECT_EQ(result.out, c.failure) << name;
        } else {
            EXPECT_NE(result.out.find("Lines:"), std::string::npos) << name;
        }
        EXPECT_EQ(result.err.find("odd number of lines") != std::string::npos, c.warns) << name;
    }
}

TEST_F(CheckCommand, FilesTheUpdateCannotUse) {
    const std::string sound = sim::makeUpdateFile(recipe(2)).bytes;
    struct Case {
        const char* what;
        std::string path;
        const char* output;
    };
    const Case cases[] = {
        {"missing file", (dir_ / "missing.hex").string(), kInvalid},
        {"137 bytes", writeBytes("137.hex", std::string(137, 'A')), kInvalid},
        {"138 bytes go on to the format check", writeBytes("138.hex", std::string(138, 'A')),
         kFormatError},
        {"path too long for a port slot", (dir_ / std::string(1100, 'p')).string(), kInvalid},
    };
    for (const Case& c : cases) {
        const CliRun result = run({"check", c.path});
        EXPECT_EQ(result.code, 1) << c.what;
        EXPECT_EQ(result.out, c.output) << c.what;
    }
}

TEST_F(CheckCommand, Family2ModelOutsideTheTableIsAFormatError) {
    sim::UpdateFileRecipe r = recipe(2);
    r.modelName = "ZNB9999";
    const CliRun result = run({"check", writeFile("unknown.hex", r)});
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.out.find("Model:        ZNB9999 (model code -1, not recognised)\n"),
              std::string::npos);
    EXPECT_TRUE(result.out.ends_with(kFormatError));
}

TEST(KorvaneFwUsage, WrongCommandLinesExitWith2AndAUsageLine) {
    struct Case {
        CliArgs args;
        const char* errStart;
    };
    const Case cases[] = {
        {{}, "usage: korvane-fw <command>"},
        {{"frobnicate"}, "korvane-fw: unknown command 'frobnicate'\nusage: korvane-fw <command>"},
        {{"check"}, "usage: korvane-fw check FILE\n"},
        {{"check", ""}, "usage: korvane-fw check FILE\n"},
        {{"check", "a.hex", "b.hex"}, "usage: korvane-fw check FILE\n"},
    };
    for (const Case& c : cases) {
        const CliRun result = run(c.args);
        EXPECT_EQ(result.code, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with(c.errStart)) << result.err;
    }
}

TEST(KorvaneFwUsage, HelpListsTheSubcommands) {
    const CliRun result = run({"--help"});
    EXPECT_EQ(result.code, 0);
    EXPECT_NE(result.out.find("  check FILE"), std::string::npos) << result.out;
}

TEST(PrintReportText, LineEndsBecomeNewlines) {
    std::ostringstream out;
    printReportText(out, "a\r\nb\rc\n\r\n");
    EXPECT_EQ(out.str(), "a\nb\rc\n\n");
}

}  // namespace
}  // namespace korvane
