// The family-1 fast link and the wire-time model, on a clock moved by hand.
#include <gtest/gtest.h>

#include <string>

#include "core_host.h"

namespace korvane::simtest {
namespace {

using sim::FastLinkPhase;

// A family-1 adapter on a serial link whose host end runs at 115200.
CoreHost serialAdapter(bool wireTime) {
    sim::AdapterSettings settings = echoing(sim::kModelZnb540);
    settings.wireTime = wireTime;
    CoreHost host(settings);
    host.adapter.setHostRate(115200);
    return host;
}

// The same, in download mode.
CoreHost serialBlockAdapter(bool wireTime = false) {
    CoreHost host = serialAdapter(wireTime);
    std::string answer = host.say("QXDLZNB540");
    host.advanceMs(10);
    answer += host.take();
    EXPECT_EQ(answer, "QXDLZNB540\rOK\r\r>");
    return host;
}

TEST(FastLink, AnswerAloneThenAnnouncementOnceTheHostRunsAtTheFastRate) {
    CoreHost host = serialBlockAdapter();
    // "OK" and CR only: a prompt after it would read as an empty announcement line.
    EXPECT_EQ(host.say("QX DLBD 02"), "QX DLBD 02\rOK\r");
    EXPECT_EQ(host.adapter.status().adapterRate, 2000000);
    EXPECT_EQ(host.adapter.status().fastLink, FastLinkPhase::Announcing);
    EXPECT_TRUE(host.adapter.watchingHostRate());

    host.advanceMs(100);
    EXPECT_EQ(host.take(), "");
    host.adapter.setHostRate(2000000);
    EXPECT_EQ(host.take(), "ZNB540 Update\r");
    EXPECT_EQ(host.adapter.status().fastLink, FastLinkPhase::AwaitingConfirm);
    EXPECT_FALSE(host.adapter.watchingHostRate());

    EXPECT_EQ(host.say(""), "\rOK\r\r>");
    EXPECT_EQ(host.adapter.status().fastLink, FastLinkPhase::Running);
    EXPECT_EQ(host.say("QXDLDT000000"), "QXDLDT000000\rOK\r\r>");
    EXPECT_EQ(host.say("QXDLED"), "QXDLED\rOK\r\r>");
    // Back at its power-on rate right after that answer: the host's end still at 2000000 now
    // garbles everything until it follows.
    EXPECT_EQ(host.adapter.status().adapterRate, 115200);
    EXPECT_EQ(host.say("QXVERS"), "");
    EXPECT_EQ(host.adapter.status().counts.garbledIn, 7u);
    host.adapter.setHostRate(115200);
    EXPECT_EQ(host.say("QXVERS"), "QXVERS\rZNB540 V1.0.0\r\r>");
}

TEST(FastLink, OverTcpTheAnnouncementFollowsAtOnce) {
    sim::AdapterSettings settings = echoing(sim::kModelZnb6730);
    CoreHost host(settings);
    host.adapter.setHostRate(0);
    host.say("QXDLZNB6730");
    EXPECT_EQ(host.say("QX DLBD 02"), "QX DLBD 02\rOK\rZNB540 Update\r");
    EXPECT_EQ(host.say(""), "\rOK\r\r>");
}

TEST(FastLink, HostThatSwitchesTooLateLosesTheAnnouncementAndIsNotUnderstood) {
    CoreHost host = serialBlockAdapter();
    host.say("QX DLBD 02");
    host.advanceMs(999);
    EXPECT_EQ(host.take(), "");
    host.advanceMs(1);
    EXPECT_EQ(host.take(), "");
    EXPECT_EQ(host.adapter.status().counts.garbledOut, 14u);
    EXPECT_EQ(host.adapter.status().fastLink, FastLinkPhase::AwaitingConfirm);
    // Still at 115200, the host's records reach an adapter at 2000000.
    EXPECT_EQ(host.say("QXDLDT000000"), "");
    EXPECT_TRUE(host.adapter.image().entries.empty());
}

TEST(FastLink, HostThatSwitchesWithoutTheAdapterIsNotUnderstood) {
    sim::FaultPlan faults;
    faults.refuseBaudSwitch = true;
    CoreHost host = serialBlockAdapter();
    host.adapter.setFaults(faults);
    host.say("QX DLBD 02");
    host.adapter.setHostRate(2000000);
    EXPECT_EQ(host.say("QXDLDT000000"), "");
    EXPECT_EQ(host.adapter.status().counts.garbledIn, 13u);
}

TEST(WireTime, BytesTakeTenBitsAtTheCurrentRateEachWay) {
    CoreHost host = serialAdapter(true);
    const std::int64_t byteNs = 10'000'000'000LL / 115200;

    // The command's 7 bytes arrive one byte time apart, so its CR is in at 7 byte times; then
    // the echo and the answer ("QXVERS\r" + "ZNB540 V1.0.0\r\r>") leave one byte time apart.
    host.adapter.receive(reinterpret_cast<const std::uint8_t*>("QXVERS\r"), 7, host.now);
    EXPECT_EQ(host.take(), "");
    host.advanceNs(8 * byteNs);
    EXPECT_EQ(host.take(), "Q");
    host.advanceNs(6 * byteNs);
    EXPECT_EQ(host.take(), "XVERS\r");
    host.advanceNs(100 * byteNs);
    EXPECT_EQ(host.take(), "ZNB540 V1.0.0\r\r>");

    const sim::LinkCounts counts = host.adapter.status().counts;
    EXPECT_EQ(counts.bytesIn, 7u);
    EXPECT_EQ(counts.bytesOut, 23u);
    EXPECT_NEAR(counts.linkTimeSeconds, 30 * 10.0 / 115200, 1e-9);
}

TEST(WireTime, FastLinkBytesAreCountedAtTheFastRate) {
    CoreHost host = serialBlockAdapter(true);
    host.say("QX DLBD 02");
    host.advanceMs(10);
    host.take();
    host.adapter.setHostRate(2000000);
    // Paced from the moment the adapter sees the host's new rate.
    EXPECT_EQ(host.take(), "");
    host.advanceMs(10);
    EXPECT_EQ(host.take(), "ZNB540 Update\r");
    const double before = host.adapter.status().counts.linkTimeSeconds;
    host.say("");
    host.advanceMs(10);
    EXPECT_EQ(host.take(), "\rOK\r\r>");
    EXPECT_NEAR(host.adapter.status().counts.linkTimeSeconds - before, 7 * 10.0 / 2000000, 1e-9);
}

// At another rate than its own, an adapter with mismatchAsNoise is reached by noise and answers
// with noise; at its own rate it is the plain adapter.
TEST(RateAsNoise, WrongRateGivesNoiseBackEveryOtherTimeWithAPrompt) {
    sim::AdapterSettings settings = echoing(sim::kModelZnb5411);
    settings.baud = 38400;
    settings.mismatchAsNoise = true;
    CoreHost host(settings);
    host.adapter.setHostRate(115200);
    const std::string first = host.say("ATI");
    const std::string second = host.say("ATI");
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first.find('>'), std::string::npos);
    EXPECT_EQ(second.back(), '>');
    EXPECT_EQ(first.find("ELM327"), std::string::npos);
    EXPECT_EQ(host.adapter.commandCount(), 0);
    host.adapter.setHostRate(38400);
    EXPECT_EQ(host.say("ATI"), "ATI\rELM327 v2.2\r\r>");
}

TEST(Decoys, EachAnswersAsItsKindDoesAtAnyRate) {
    struct Case {
        sim::Decoy decoy;
        const char* answer;  // nullptr: noise of 12 bytes
    };
    const Case cases[] = {
        {sim::Decoy::LoopBack, "ATI\r"},
        {sim::Decoy::Modem, "ATI\r\r\nOK\r\n"},
        {sim::Decoy::Silent, ""},
        {sim::Decoy::Noise, nullptr},
    };
    for (const Case& c : cases) {
        sim::AdapterSettings settings;
        settings.decoy = c.decoy;
        CoreHost host(settings);
        for (int rate : {9600, 115200, 2000000}) {
            host.adapter.setHostRate(rate);
            const std::string answer = host.say("ATI");
            if (c.answer != nullptr) {
                EXPECT_EQ(answer, c.answer) << static_cast<int>(c.decoy) << " at " << rate;
            } else {
                EXPECT_EQ(answer.size(), 12u);
                EXPECT_EQ(answer.find("ELM327"), std::string::npos);
            }
        }
    }
}

}  // namespace
}  // namespace korvane::simtest
