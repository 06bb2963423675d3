// Every failure of an update, driven by the emulated adapter's faults: its fixed texts unchanged,
// then, once the whole group of them is out, one reason line that says what happened and what the
// adapter was left in; the outcome and the adapter's state follow what happened to the adapter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "tests/e2e/e2e_support.h"

namespace korvane::e2e {
namespace {

constexpr char kPowerOn[] = "**Failed** Please power on the device again!\r\n";
constexpr char kMismatch[] = "**Failed** The upgrade file does not match the device model!\r\n";
constexpr char kStopFail[] =
    "**Failed** Request stop download fail,Upgrade again after power on!\r\n";

using Adapter = std::function<void(sim::AdapterSettings&)>;

struct FailureCase {
    const char* what;
    Adapter adapter;  // on the emulator's default, a ZNB5413 in application mode
    int fileModel;
    std::vector<std::string> fixed;  // the failure texts, in order, after the last other text
    const char* reason;              // a fragment of the reason line
    bool refused;  // refused with the adapter untouched; else failed, left in download mode
    Link link = Link::Tcp;
    const char* fileVersion = nullptr;  // the file's version text, when not the recipe's
};

// The texts after the last one that is neither a failure text nor a reason: the fixed texts, then
// exactly one reason line, last, that names the adapter's state.
void expectGroupThenReason(const JobRecord& record, const FailureCase& c) {
    const std::vector<std::string>& texts = record.texts;
    ASSERT_GE(texts.size(), c.fixed.size() + 1) << c.what << "\n" << record.output();
    const std::vector<std::string> group(texts.end() - 1 - c.fixed.size(), texts.end() - 1);
    EXPECT_EQ(group, c.fixed) << c.what << "\n" << record.output();
    const std::string& reason = texts.back();
    EXPECT_TRUE(reason.starts_with("  ") && reason.ends_with(".\r\n")) << c.what << ": " << reason;
    EXPECT_EQ(reason.find('\n'), reason.size() - 1) << c.what << ": one line, " << reason;
    EXPECT_NE(reason.find(c.reason), std::string::npos) << c.what << ": " << reason;
    EXPECT_NE(reason.find(c.refused ? "was left as it was"
                                    : "now waits in download mode: power it off and on"),
              std::string::npos)
        << c.what << ": " << reason;
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.starts_with("  "); }),
              1)
        << c.what << "\n"
        << record.output();
}

TEST(FailureTable, EachFailureIsExplainedAfterItsTextsAndNamesTheAdaptersState) {
    const int mc = sim::kModelZnb5413;
    const FailureCase cases[] = {
        {"a pair asked for three times",
         [](auto& s) {
             s.faults.repBlock = {{2, 3}};
         },
         mc,
         {"**Failed** Repeat three times error on 2 line!\r\n", kStopFail},
         "did not take the pair of lines after line 2: it asked for the same pair three times",
         false},
        {"download not closed",
         [](auto& s) { s.faults.finishFailures = 5; },
         mc,
         {kStopFail},
         "did not close the download",
         false},
        // ATE1, ATI and QXVERS are answered; QXI is not.
        {"silent while identified",
         [](auto& s) { s.faults.silentAfterCommand = 3; },
         mc,
         {kMismatch},
         "no answer to QXI within 2000 ms (so the file could not be compared with it: the file "
         "is not at fault); check that it is powered, that this computer is on the adapter's "
         "Wi-Fi network",
         true},
        {"silent while identified, serial",
         [](auto& s) { s.faults.silentAfterCommand = 3; },
         mc,
         {kMismatch},
         "that the baud rate is the adapter's",
         true,
         Link::Pty},
        {"flooded while identified",
         [](auto& s) { s.faults.floodAtCommand = 4; },
         mc,
         {kMismatch},
         "answer to QXI was no text but 252 bytes of line noise or a flood, so the file could not "
         "be compared with it (the file is not at fault)",
         true},
        {"another product",
         [](auto& s) { s.productText = "Other Maker"; },
         mc,
         {kMismatch},
         "the adapter's product text is \"Other Maker\"",
         true},
        {"another family-2 model",
         [](auto& s) { s.model = sim::kModelZnb5411; },
         mc,
         {kMismatch},
         "which is not a ZNB5413, the file's model",
         true},
        {"firmware not older than the file",
         [](auto& s) { s.firmwareVersion = "2.2.40"; },
         mc,
         {"The device firmware version number is higher, please use the latest firmware "
          "file.!\r\n"},
         "already has what this file (version 2229) brings",
         true,
         Link::Tcp,
         "V2.2.2X"},
        {"family-1 file on a family-2 adapter",
         [](auto&) {},
         sim::kModelZnb540,
         {kPowerOn},
         "refused the download-mode commands of a family-1 file",
         true},
        {"family-1 model learned in download mode",
         [](auto& s) {
             s.model = sim::kModelZnb6730;
             s.versionNamesModel = false;
         },
         sim::kModelZnb540,
         {kMismatch},
         "named no model, so it was put into download mode to learn it: it took QXDLZNB6730",
         false},
        {"family-1 record refused",
         [](auto& s) {
             s.model = sim::kModelZnb540;
             s.faults.err02 = {{3, 1}};
         },
         sim::kModelZnb540,
         {kPowerOn, kPowerOn},
         "refused record 3 (ERR02), although the file passed its own check",
         false},
    };
    for (const FailureCase& c : cases) {
        sim::AdapterSettings settings;
        c.adapter(settings);
        EmulatedLink adapter(settings, c.link);
        ASSERT_TRUE(adapter.started()) << adapter.error();
        sim::UpdateFileRecipe recipe = recipeFor(c.fileModel, 1024);
        if (c.fileVersion != nullptr) {
            recipe.versionText = c.fileVersion;
        }
        const UpdateFileOnDisk update = writeUpdateFile(recipe);
        const JobRecord record = runUpdateJob(adapter.descriptor(), update.path);
        expectGroupThenReason(record, c);
        EXPECT_EQ(record.outcome.result, c.refused ? JobResult::Refused : JobResult::Failed)
            << c.what;
        EXPECT_EQ(record.outcome.adapter,
                  c.refused ? AdapterState::Untouched : AdapterState::DownloadMode)
            << c.what;
        std::filesystem::remove(update.path);
    }
}

// A port named by a by-path link whose name holds ":" is opened through the link, locked as its
// device, and shown as given.
TEST(PortNames, UpdateThroughALinkWhoseNameHoldsColons) {
    sim::AdapterSettings settings;
    EmulatedLink adapter(settings, Link::Pty);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const std::string descriptor = adapter.descriptor();  // com|PTY:115200
    const std::string pty = descriptor.substr(4, descriptor.rfind(':') - 4);
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                      ("korvane_by_path_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path link = dir / "pci-0000:00:14.0-usb-0:1:1.0-port0";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(pty, link);
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5413, 1024));

    const JobRecord record = runUpdateJob(SerialPortRequest{link.string(), 115200}, update.path);
    EXPECT_EQ(record.outcome.result, JobResult::Finished) << record.output();
    EXPECT_EQ(record.outcome.adapter, AdapterState::Finished);

    // While the link's device is held, the device itself is busy under its own name.
    const JobRecord held =
        openWhileHolding(SerialPortRequest{link.string(), 115200}, SerialPortRequest{pty, 115200});
    EXPECT_EQ(held.slot, -1) << held.output();
    EXPECT_TRUE(held.saw("the port is busy")) << held.output();
    std::filesystem::remove_all(dir);
    std::filesystem::remove(update.path);
}

}  // namespace
}  // namespace korvane::e2e
