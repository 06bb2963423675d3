#include <gtest/gtest.h>

#include <korvane/version.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
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
    const auto unsendable = [](const std::string& line) {
        return std::string(kFormatError) + "  line " + line +
               " of the update file cannot be sent to the adapter; the file is damaged or is not "
               "an update file for this adapter.\n";
    };
    // A format error names the first bad line: the first, or the information record (the last).
    const auto lastLine = [](int family) {
        return std::to_string(sim::makeUpdateFile(recipe(family)).lines.size());
    };
    const std::string last1 = lastLine(1);
    const std::string last2 = lastLine(2);
    struct Case {
        int family;
        Defect defect;
        int code;
        std::string failure;  // the whole output on failure (a format error: its first line)
        bool warns;           // an odd line count is pointed out on standard error
        std::string reason;   // a format error: the line named and the words that follow
    };
    const Case cases[] = {
        {1, Defect::BadChecksum, 1, kFormatError, false,
         "1 of the update file: the record's checksum"},
        {1, Defect::BadByteTotal, 1, kFormatError, false,
         last1 + " of the update file: the information record declares a byte total of"},
        {1, Defect::ShortFile, 1, kInvalid, false, ""},
        {1, Defect::MissingLastLineEnd, 0, "", false, ""},
        {1, Defect::RecordsAfterInfo, 0, "", false, ""},
        {1, Defect::OverlongLine, 1, kFormatError, false,
         "1 of the update file: 272 hex digits, more than the 270"},
        {1, Defect::StringOverrun, 1, kFormatError, false,
         last1 + " of the update file: a text of the information record runs past its end"},
        {2, Defect::BadChecksum, 1, kFormatError, false,
         "1 of the update file: the line's bytes sum to"},
        {2, Defect::BadByteTotal, 1, kFormatError, false,
         last2 + " of the update file: the information record declares a byte total of"},
        {2, Defect::ShortFile, 1, kInvalid, false, ""},
        {2, Defect::MissingLastLineEnd, 1, kFormatError, false,
         last2 + " of the update file: the last line has no line end"},
        {2, Defect::OddLineCount, 0, "", true, ""},
        {2, Defect::Type03Line, 1, unsendable("1"), false, ""},
        {2, Defect::RecordsAfterInfo, 0, "", false, ""},
        {2, Defect::Type03AfterInfo, 1, unsendable(type03AfterInfo), false, ""},
        {2, Defect::OverlongLine, 1, kFormatError, false,
         "1 of the update file: 138 hex digits, where every line holds exactly 136"},
        {2, Defect::StringOverrun, 1, kFormatError, false,
         last2 + " of the update file: a text of the information record runs past its end"},
    };
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.family) + "-" + sim::defectName(c.defect);
        const CliRun result = run({"check", writeFile(name, recipe(c.family, c.defect))});
        EXPECT_EQ(result.code, c.code) << name;
        if (c.failure == kInvalid) {
            // Refused before its check: the reason follows on the next line.
            EXPECT_TRUE(result.out.starts_with(c.failure)) << name;
            EXPECT_TRUE(result.out.substr(c.failure.size()).starts_with("  ")) << name;
        } else if (!c.reason.empty()) {
            // The fixed text unchanged, then one reason line that names the line.
            ASSERT_TRUE(result.out.starts_with(c.failure)) << name << ": " << result.out;
            const std::string rest = result.out.substr(c.failure.size());
            EXPECT_TRUE(rest.starts_with("  line " + c.reason)) << name << ": " << rest;
            EXPECT_EQ(rest.find('\n'), rest.size() - 1) << name << ": one line, " << rest;
        } else if (!c.failure.empty()) {
            EXPECT_EQ(result.out, c.failure) << name;
        } else {
            EXPECT_NE(result.out.find("Lines:"), std::string::npos) << name;
        }
        EXPECT_EQ(result.err.find("odd number of lines") != std::string::npos, c.warns) << name;
    }
}

TEST_F(CheckCommand, FilesTheUpdateCannotUse) {
    struct Case {
        const char* what;
        std::string path;
        const char* output;  // the fixed text, first
        std::string reason;  // words of the reason line after it
    };
    const Case cases[] = {
        {"missing file", (dir_ / "missing.hex").string(), kInvalid, "missing.hex: no such file"},
        {"137 bytes", writeBytes("137.hex", std::string(137, 'A')), kInvalid,
         "137 bytes is too small for an update file (at least 138)"},
        {"138 bytes go on to the format check", writeBytes("138.hex", std::string(138, 'A')),
         kFormatError, "line 1 of the update file: the record announces 43690 data bytes"},
        {"path too long for a port slot", (dir_ / std::string(1100, 'p')).string(), kInvalid,
         "at most 1023 are taken"},
        {"a folder", dir_.string(), kInvalid, "a folder, not a file"},
    };
    for (const Case& c : cases) {
        const CliRun result = run({"check", c.path});
        EXPECT_EQ(result.code, 1) << c.what;
        EXPECT_TRUE(result.out.starts_with(c.output)) << c.what << ": " << result.out;
        const std::string rest = result.out.substr(std::strlen(c.output));
        if (c.reason.empty()) {
            EXPECT_EQ(rest, "") << c.what;
        } else {
            EXPECT_TRUE(rest.starts_with("  ") && rest.ends_with("\n")) << c.what << ": " << rest;
            EXPECT_EQ(rest.find('\n'), rest.size() - 1) << c.what << ": one line";
            EXPECT_NE(rest.find(c.reason), std::string::npos) << c.what << ": " << rest;
        }
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
        const char* usage;
    };
    const Case cases[] = {
        {{}, "usage: korvane-fw <command>", ""},
        {{"frobnicate"},
         "korvane-fw: unknown command 'frobnicate'\nusage: korvane-fw <command>",
         ""},
        {{"help", "frobnicate"}, "korvane-fw: unknown command 'frobnicate'\n", ""},
        {{"check"}, "korvane-fw check: FILE is required", "usage: korvane-fw check FILE\n"},
        {{"check", ""}, "korvane-fw check: FILE is empty\n", "usage: korvane-fw check FILE\n"},
        {{"check", "a.hex", "b.hex"}, "korvane-fw check: ", "usage: korvane-fw check FILE\n"},
        {{"ports", "extra"}, "korvane-fw ports: ", "usage: korvane-fw ports [--json]\n"},
        {{"--frobnicate"}, "korvane-fw: ", "usage: korvane-fw <command>"},
    };
    for (const Case& c : cases) {
        const CliRun result = run(c.args);
        EXPECT_EQ(result.code, 2) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with(c.errStart)) << result.err;
        EXPECT_NE(result.err.find(c.usage), std::string::npos) << result.err;
    }
}

// Help and version answer on standard output with exit 0, wherever they are asked for.
TEST(KorvaneFwUsage, HelpAndVersionAnywhere) {
    struct Case {
        CliArgs args;
        const char* shows;
    };
    const std::string version = std::string("korvane-fw ") + kProgramVersion + "\n";
    const Case cases[] = {
        {{"--help"}, "  check "},
        {{"-h"}, "Usage: korvane-fw [-h] [-V] COMMAND"},
        {{"help"}, "  update "},
        {{"help", "update"}, "Usage: korvane-fw update PORT... --file PATH [OPTIONS]"},
        {{"update", "--help"}, "  --ports-file FILE"},
        {{"update", "-h", "--baud", "junk"}, "Usage: korvane-fw update"},
        {{"read", "--port", "tcp|127.0.0.1:1", "--help"}, "Usage: korvane-fw read PORT..."},
        {{"check", "--help"}, "Usage: korvane-fw check FILE"},
        {{"check", "-h"}, "Usage: korvane-fw check FILE"},
        {{"ports", "--help"}, "  --json"},
        {{"--version"}, version.c_str()},
        {{"-V"}, version.c_str()},
    };
    for (const Case& c : cases) {
        const CliRun result = run(c.args);
        EXPECT_EQ(result.code, 0) << c.args.size() << " " << result.err;
        EXPECT_NE(result.out.find(c.shows), std::string::npos) << result.out;
        EXPECT_EQ(result.err, "");
    }
    EXPECT_EQ(run({"--version"}).out, version);
}

// An option that takes one value, given twice, is refused rather than the last one taken.
TEST(KorvaneFwUsage, SingleValuedOptionsGivenTwiceAreRefused) {
    const std::vector<CliArgs> twice = {
        {"update", "--tcp", "--file", "a.hex", "--file", "b.hex"},
        {"update", "--tcp", "--file=a.hex", "--file=a.hex"},
        {"read", "--serial", "/dev/ttyUSB0", "--serial", "/dev/ttyUSB1"},
        {"read", "--serial", "/dev/ttyUSB0", "--baud", "9600", "--baud", "9600"},
        {"read", "--tcp", "--progress=plain", "--progress", "json"},
        {"read", "--tcp", "--tcp", "127.0.0.1:5"},
    };
    for (const CliArgs& args : twice) {
        const CliRun result = run(args);
        EXPECT_EQ(result.code, 2) << result.err;
        EXPECT_NE(result.err.find("times; give it once"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("usage: korvane-fw " + args[0]), std::string::npos);
    }
}

// Every option and command the help shows is described in the manual page.
TEST(KorvaneFwUsage, ManualPageCoversEveryOptionAndCommandOfTheHelp) {
    std::ifstream in(std::string(KORVANE_SOURCE_DIR) + "/packaging/man/korvane-fw.1");
    ASSERT_TRUE(in) << "packaging/man/korvane-fw.1";
    std::stringstream raw;
    raw << in.rdbuf();
    // The page's text as man shows it: "\-" is a minus, font changes leave nothing.
    std::string page = raw.str();
    for (const std::string from : {"\\-", "\\fB", "\\fR", "\\fI", "\\fP"}) {
        for (std::size_t at = page.find(from); at != std::string::npos; at = page.find(from, at)) {
            page.replace(at, from.size(), from == "\\-" ? "-" : "");
        }
    }
    std::vector<std::string> helps = {run({"--help"}).out};
    for (const CliCommand& command : cliCommands()) {
        helps.push_back(run({command.name, "--help"}).out);
        EXPECT_NE(page.find(std::string("korvane-fw ") + command.name), std::string::npos)
            << command.name;
    }
    EXPECT_NE(page.find("korvane-fw help"), std::string::npos);
    const std::regex option(R"((^|[\s,])(--?[A-Za-z][A-Za-z-]*))");
    int seen = 0;
    for (const std::string& help : helps) {
        for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) {
            const std::string name = (*it)[2];
            ++seen;
            EXPECT_NE(page.find(name), std::string::npos) << name << " is not in the manual page";
        }
    }
    EXPECT_GT(seen, 12);
}

TEST(PrintReportText, LineEndsBecomeNewlines) {
    std::ostringstream out;
    printReportText(out, "a\r\nb\rc\n\r\n");
    EXPECT_EQ(out.str(), "a\nb\rc\n\n");
}

}  // namespace
}  // namespace korvane
