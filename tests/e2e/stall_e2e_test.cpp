// A link that stalls for a while and then carries on: the adapter acts on every command it got,
// late. A stall the grace period covers ends in an exact image; a longer one in an honest
// failure, never in success over an image that holds a line or record twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "engine/command_exchange.h"
#include "tests/e2e/e2e_support.h"

namespace korvane::e2e {
namespace {

// The deadline of one line (family 2) or record (family 1) exchange.
constexpr int kLineDeadlineMs = 2000;
constexpr int kRecordDeadlineMs = 5000;

struct StallCase {
    int family;
    Link link;
    int stallMs;
    bool finishes;
};

std::ostream& operator<<(std::ostream& out, const StallCase& c) {
    return out << "family " << c.family << " " << linkName(c.link) << " stall " << c.stallMs;
}

// Whether the adapter holds every line or record of the file exactly once, in order.
bool imageIsTheFile(const sim::FirmwareImage& image, const UpdateFileOnDisk& update, int family) {
    if (family == 2) {
        if (image.entries.size() != update.file.lines.size()) {
            return false;
        }
        for (std::size_t i = 0; i < image.entries.size(); ++i) {
            if (image.entries[i] != update.file.lines[i].substr(2)) {
                return false;
            }
        }
        return imagePayload(image) == update.file.image;
    }
    if (image.entries.size() != update.file.commands.size()) {
        return false;
    }
    for (std::size_t i = 0; i < image.entries.size(); ++i) {
        if ("QXDLDT" + image.entries[i] + "\r" != update.file.commands[i]) {
            return false;
        }
    }
    return imagePayload(image) == update.payload;
}

class LinkStall : public ::testing::TestWithParam<StallCase> {};

TEST_P(LinkStall, ShorterThanTheGraceFinishesExactlyLongerFailsHonestly) {
    const StallCase& c = GetParam();
    sim::AdapterSettings settings;
    settings.model = c.family == 2 ? sim::kModelZnb5412 : sim::kModelZnb540;
    // The third line or record: the first line of the second pair in family 2.
    settings.faults.stallAtLine = 3;
    settings.faults.stallMs = c.stallMs;
    EmulatedLink adapter(settings, c.link);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(settings.model, 640));

    const JobRecord record = runUpdateJob(adapter.descriptor(), update.path);
    const sim::FirmwareImage image = adapter.server().image();
    const bool exact = imageIsTheFile(image, update, c.family);
    EXPECT_EQ(record.outcome.finished(), c.finishes) << record.output();
    // Finished if and only if the adapter holds exactly the file.
    EXPECT_EQ(record.outcome.finished(), exact) << record.output();
    if (c.finishes) {
        EXPECT_TRUE(record.outcome.failureText.empty()) << record.output();
        EXPECT_EQ(adapter.server().status().update, sim::UpdateStatus::Completed);
    } else {
        // The adapter acted on the resent command too; the download stops without closing it.
        EXPECT_EQ(record.outcome.result, JobResult::Failed);
        EXPECT_EQ(
            record.outcome.failureText,
            "**Failed** Sending error on " + std::to_string(c.family == 2 ? 2 : 4) + " line!\r\n")
            << record.output();
        EXPECT_NE(adapter.server().status().update, sim::UpdateStatus::Completed);
        EXPECT_EQ(std::count(record.progress.begin(), record.progress.end(), 100), 0);
    }
}

constexpr int kF2Grace = kLineDeadlineMs + kLateAnswerGraceMs;
constexpr int kF1Grace = kRecordDeadlineMs + kLateAnswerGraceMs;

INSTANTIATE_TEST_SUITE_P(Stalls, LinkStall,
                         ::testing::Values(StallCase{2, Link::Pty, kF2Grace - 1500, true},
                                           StallCase{2, Link::Tcp, kF2Grace - 1500, true},
                                           StallCase{2, Link::Pty, kF2Grace + 1000, false},
                                           StallCase{2, Link::Tcp, kF2Grace + 1000, false},
                                           StallCase{1, Link::Pty, kF1Grace - 1500, true},
                                           StallCase{1, Link::Tcp, kF1Grace - 1500, true},
                                           StallCase{1, Link::Pty, kF1Grace + 1000, false},
                                           StallCase{1, Link::Tcp, kF1Grace + 1000, false}),
                         [](const auto& info) {
                             const StallCase& c = info.param;
                             return "Family" + std::to_string(c.family) + linkName(c.link) +
                                    (c.finishes ? "Short" : "Long");
                         });

}  // namespace
}  // namespace korvane::e2e
