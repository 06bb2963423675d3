// The read-only probe: from the answers a port gives to the verdict, and what it may send.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/adapter_probe.h"
#include "tests/support/scripted_channel.h"

namespace korvane::test {
namespace {

struct Answers {
    const char* ati;  // nullptr: silent
    const char* qxi;
    const char* qxvers;
};

struct VerdictCase {
    const char* what;
    Answers answers;
    bool echo;
    ProbeVerdict verdict;
    NoAdapter nothing;      // when verdict is Nothing
    const char* modelName;  // when found
};

ProbeFinding probeWith(const Answers& answers, bool echo) {
    ScriptedChannel channel;
    channel.setEcho(echo);
    const std::pair<const char*, const char*> rules[] = {
        {"ATI\r", answers.ati}, {"QXI\r", answers.qxi}, {"QXVERS\r", answers.qxvers}};
    for (const auto& [command, answer] : rules) {
        if (answer != nullptr) {
            channel.reply(command, answer);
        }
    }
    return probeAdapter(channel);
}

TEST(AdapterProbe, AnswersGiveTheVerdict) {
    constexpr auto kNone = NoAdapter::Silent;
    const VerdictCase cases[] = {
        {"family-2 adapter",
         {"ELM327 v2.2\r\r>", "Korvane BM v2.2.29\r\r>", "V2.2\r\r>"},
         false,
         ProbeVerdict::Application,
         kNone,
         "ZNB5411"},
        {"the same with its echo on",
         {"ELM327 v2.2\r\r>", "Korvane-MC v2.2.29\r\r>", "V2.2\r\r>"},
         true,
         ProbeVerdict::Application,
         kNone,
         "ZNB5413"},
        {"family-1 adapter, model from the version answer",
         {"ELM327 v2.2\r\r>", "ZNB540 v2.2\r\r>", "ZNB540 V1.0.0\r\r>"},
         false,
         ProbeVerdict::Application,
         kNone,
         "ZNB540"},
        {"boot loader", {"?\r\r>", "?\r\r>", nullptr}, false, ProbeVerdict::BootLoader, kNone, ""},
        {"ELM327 clone without our queries",
         {"ELM327 v1.5\r\r>", "?\r\r>", "?\r\r>"},
         false,
         ProbeVerdict::ElmOnly,
         kNone,
         "ELM327 v1.5"},
        {"silent",
         {nullptr, nullptr, nullptr},
         false,
         ProbeVerdict::Nothing,
         NoAdapter::Silent,
         ""},
        {"noise with a prompt",
         {"\x93\xf1#>", nullptr, nullptr},
         false,
         ProbeVerdict::Nothing,
         NoAdapter::Noise,
         ""},
        {"an identity inside noise",
         {"ELM327 v2.2\x01\r>", nullptr, nullptr},
         false,
         ProbeVerdict::Nothing,
         NoAdapter::Noise,
         ""},
        {"printable noise closed by a prompt",
         {"*&^>", nullptr, nullptr},
         false,
         ProbeVerdict::Nothing,
         NoAdapter::NoIdentity,
         ""},
        {"a lone prompt", {">", ">", ">"}, false, ProbeVerdict::Nothing, NoAdapter::NoIdentity, ""},
        {"modem",
         {"\r\nOK\r\n", nullptr, nullptr},
         true,
         ProbeVerdict::Nothing,
         NoAdapter::Modem,
         ""},
        {"modem with its echo off",
         {"\r\nOK\r\n", nullptr, nullptr},
         false,
         ProbeVerdict::Nothing,
         NoAdapter::Modem,
         ""},
        {"\"OK\" with a prompt is no identity",
         {"OK\r\r>", nullptr, nullptr},
         false,
         ProbeVerdict::Nothing,
         NoAdapter::Modem,
         ""},
        {"loop-back",
         {nullptr, nullptr, nullptr},
         true,
         ProbeVerdict::Nothing,
         NoAdapter::LoopBack,
         ""},
        {"text without a prompt",
         {"hello\r\n", nullptr, nullptr},
         false,
         ProbeVerdict::Nothing,
         NoAdapter::NoPrompt,
         ""},
    };
    for (const VerdictCase& c : cases) {
        const ProbeFinding finding = probeWith(c.answers, c.echo);
        EXPECT_EQ(finding.verdict, c.verdict) << c.what;
        if (c.verdict == ProbeVerdict::Nothing) {
            EXPECT_EQ(finding.nothing, c.nothing) << c.what;
        } else {
            EXPECT_EQ(finding.modelName, c.modelName) << c.what;
        }
    }
    const ProbeFinding adapter = probeWith(cases[0].answers, false);
    EXPECT_EQ(adapter.deviceVersion, "V2.2");
    EXPECT_EQ(adapter.adapterVersion, "Korvane BM v2.2.29");
    EXPECT_TRUE(adapter.updatable());
    EXPECT_FALSE(probeWith(cases[4].answers, false).updatable());
}

// Noise heard at other rates can leave a partial line in the adapter: the first "ATI" then gets
// "?", and the probe asks once more rather than take the adapter for a boot loader.
TEST(AdapterProbe, AskAgainAfterAPartialLineSpoiledTheFirstQuery) {
    ScriptedChannel channel;
    channel.reply("ATI\r", "?\r\r>", 1);
    channel.reply("ATI\r", "ELM327 v2.2\r\r>");
    channel.reply("QXI\r", "Korvane BM v2.2.29\r\r>");
    channel.reply("QXVERS\r", "V2.2\r\r>");
    const ProbeFinding finding = probeAdapter(channel);
    EXPECT_EQ(finding.verdict, ProbeVerdict::Application);
    EXPECT_EQ(finding.modelName, "ZNB5411");
}

// Whatever comes back, the probe writes nothing but its own few queries.
TEST(AdapterProbe, SendsOnlyItsQueriesWhateverTheAnswers) {
    std::mt19937 random(22);
    const std::string pieces[] = {
        ">",        "\r", "OK", "ELM327 v2.2", "?", "Korvane BM v2.2.29", "ZNB540 V1.0.0",
        "\x01\xfe", "ATI"};
    for (int round = 0; round < 300; ++round) {
        ScriptedChannel channel;
        channel.setEcho(random() % 2 == 0);
        channel.respond([&](std::string_view) -> std::optional<std::string> {
            std::string answer;
            for (std::uint32_t n = random() % 5; n > 0; --n) {
                answer += pieces[random() % std::size(pieces)];
            }
            return answer;
        });
        probeAdapter(channel);
        for (const std::string& written : channel.writes()) {
            EXPECT_NE(std::find(std::begin(kProbeCommands), std::end(kProbeCommands), written),
                      std::end(kProbeCommands))
                << "sent " << written;
        }
    }
}

}  // namespace
}  // namespace korvane::test
