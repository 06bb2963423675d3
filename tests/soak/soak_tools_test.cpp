// The soak's own parts: a broken watchdog or outcome test would hide exactly the faults the soak
// is there to find.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

#include "platform/tick.h"
#include "tests/soak/budget_channel.h"
#include "tests/soak/soak_plan.h"
#include "tests/support/outcome_text.h"
#include "tests/support/scripted_channel.h"

namespace korvane::soak {
namespace {

TEST(OutcomeText, FailureAndRefusalLines) {
    const struct {
        const char* line;
        bool ending;
    } cases[] = {
        {"**Failed** Please power on the device again!", true},
        {"**Failed** Request stop download fail,Upgrade again after power on!", true},
        {"There is no upgrade function for this product!", true},
        {"The device firmware version number is higher, please use the latest firmware file.!",
         true},
        {"This software version is too low, please download the latest software version.!", true},
        {"Please upgrade to version Korvane_FD_V2.2.2X first!", true},
        {"[support@example.com].", true},  // the end of "This product is too old ..."
        {"Device connection ok!", false},
        {"device version:V2.2", false},
        {"File download finished!", false},
        {"Failed", false},
        {"Please upgrade to version", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(test::isFailureOrRefusalLine(c.line), c.ending) << c.line;
    }
}

TEST(OutcomeText, LastLineJoinsPiecesAndDropsTheLineEnd) {
    EXPECT_EQ(test::lastLineOf("Port is opened!\r\ndevice version:V2.2\r\n"),
              "device version:V2.2");
    EXPECT_EQ(test::lastLineOf("a\r\nDevice connection ok!\r\n\r\n"), "Device connection ok!");
    EXPECT_EQ(test::lastLineOf("a\r\npartial"), "partial");
    EXPECT_EQ(test::lastLineOf("only"), "only");
    EXPECT_EQ(test::lastLineOf("a\r\n**Failed** x!\r\n  the adapter gave no answer\r\n"),
              "**Failed** x!");
    EXPECT_EQ(test::lastLineOf(""), "");
}

TEST(RunBudget, CallPastItsOwnTimeoutIsAHang) {
    RunBudget budget;
    std::string why;
    budget.enter("read", 1, 0);
    sleepMs(30);
    EXPECT_TRUE(budget.overrun(0, 10, why));
    EXPECT_NE(why.find("past its own timeout"), std::string::npos) << why;
    budget.leave();
}

TEST(RunBudget, CallWithinItsTimeoutIsNoHang) {
    RunBudget budget;
    std::string why;
    budget.enter("read", 1, 60000);
    sleepMs(30);
    EXPECT_FALSE(budget.overrun(0, 10, why)) << why;
    budget.leave();
    EXPECT_EQ(budget.allowedMs(), 60000);
}

TEST(RunBudget, WaitingOutsideEveryCallIsAHang) {
    RunBudget budget;
    std::string why;
    budget.enter("write", 3, 1000);
    budget.leave();
    EXPECT_FALSE(budget.overrun(0, 20, why)) << why;
    sleepMs(60);
    EXPECT_TRUE(budget.overrun(0, 20, why));
    EXPECT_NE(why.find("outside any channel call"), std::string::npos) << why;
    // The flows' own fixed waits are allowed outside the calls.
    EXPECT_FALSE(budget.overrun(5000, 20, why)) << why;
}

TEST(BudgetChannel, BooksEveryTimedCallAndForwardsIt) {
    auto budget = std::make_shared<RunBudget>();
    auto inner = std::make_unique<test::ScriptedChannel>();
    test::ScriptedChannel* scripted = inner.get();
    scripted->queueInput("OK");
    BudgetChannel channel(std::move(inner), budget);
    std::uint8_t bytes[2] = {};
    EXPECT_EQ(channel.read(bytes, 2, 1500), ReadResult::Read);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 2), "OK");
    EXPECT_TRUE(channel.write(reinterpret_cast<const std::uint8_t*>("ATI\r"), 4, 700));
    EXPECT_EQ(channel.setBaudRate(2000000), 1);
    EXPECT_EQ(budget->allowedMs(), 1500 + 700 + BudgetChannel::kControlAllowanceMs);
    EXPECT_EQ(scripted->written(), "ATI\r");
    EXPECT_EQ(scripted->baudRates(), std::vector<int>{2000000});
}

TEST(SoakPlan, SameSeedSamePlanAndFaultsFitTheRun) {
    std::set<std::string> different;
    for (std::uint64_t seed = 1; seed <= 400; ++seed) {
        const RunPlan plan = makeRunPlan(seed);
        EXPECT_EQ(plan.describe(), makeRunPlan(seed).describe());
        different.insert(plan.describe());
        for (FaultKind kind : plan.faults) {
            if (kind == FaultKind::RepPack || kind == FaultKind::RepBlock ||
                kind == FaultKind::FinishError) {
                EXPECT_EQ(plan.family, 2) << plan.describe();
            }
            if (kind == FaultKind::Err02 || kind == FaultKind::BaudRefused) {
                EXPECT_EQ(plan.family, 1) << plan.describe();
            }
            if (kind == FaultKind::WireTime) {
                EXPECT_EQ(plan.link, LinkKind::Pty) << plan.describe();
            }
        }
        // A clean run must be able to succeed: its file fits its adapter.
        if (plan.faults.empty()) {
            const sim::GeneratedUpdateFile file = sim::makeUpdateFile(plan.recipe);
            EXPECT_TRUE(file.ok()) << plan.describe() << ": " << file.error;
            EXPECT_EQ(sim::familyOfModel(plan.adapter.model), plan.family) << plan.describe();
        }
    }
    EXPECT_GT(different.size(), 390u);
}

TEST(SoakPlan, FaultsCanBeNarrowed) {
    const std::vector<FaultKind> only = {FaultKind::Silence, FaultKind::Drop};
    int withFaults = 0;
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        const RunPlan plan = makeRunPlan(seed, only);
        for (FaultKind kind : plan.faults) {
            EXPECT_TRUE(kind == FaultKind::Silence || kind == FaultKind::Drop) << plan.describe();
        }
        withFaults += plan.faults.empty() ? 0 : 1;
    }
    EXPECT_GT(withFaults, 100);
}

TEST(SoakPlan, EveryKindHasAName) {
    std::set<std::string> names;
    for (int i = 0; i < kFaultKinds; ++i) {
        const auto kind = static_cast<FaultKind>(i);
        FaultKind parsed{};
        ASSERT_TRUE(parseFaultName(faultName(kind), parsed)) << faultName(kind);
        EXPECT_EQ(parsed, kind);
        names.insert(faultName(kind));
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kFaultKinds));
    // The names the figures print belong to their kinds.
    EXPECT_STREQ(faultName(FaultKind::Noise), "noise");
    EXPECT_STREQ(faultName(FaultKind::SlowLines), "slow");
    EXPECT_STREQ(faultName(FaultKind::LateAnswers), "late");
    EXPECT_STREQ(faultName(FaultKind::Drop), "drop");
    EXPECT_STREQ(faultName(FaultKind::WireTime), "wire-time");
}

}  // namespace
}  // namespace korvane::soak
