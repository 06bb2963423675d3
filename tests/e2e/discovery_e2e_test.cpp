// Finding adapters over real ptys and TCP: adapters at their own line rates among ports that are
// no adapters, a port another program holds, and that nothing but the probe's queries arrives.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "cli/auto_port.h"
#include "engine/adapter_discovery.h"
#include "tests/e2e/e2e_support.h"

namespace korvane::e2e {
namespace {

sim::AdapterSettings adapterAt(int model, int rate) {
    sim::AdapterSettings settings;
    settings.model = model;
    settings.baud = rate;
    settings.mismatchAsNoise = true;
    return settings;
}

sim::AdapterSettings decoy(sim::Decoy kind) {
    sim::AdapterSettings settings;
    settings.decoy = kind;
    return settings;
}

bool onlyProbeQueries(const sim::AdapterServer& server) {
    for (const sim::ReceivedCommand& command : server.commands()) {
        const std::string sent = command.text + "\r";
        if (std::find(std::begin(kProbeCommands), std::end(kProbeCommands), sent) ==
            std::end(kProbeCommands)) {
            ADD_FAILURE() << "the probe sent \"" << command.text << "\"";
            return false;
        }
    }
    return true;
}

TEST(Discovery, FindsAdaptersAtTheirRatesAmongDecoys) {
    struct Expected {
        sim::AdapterSettings settings;
        int rate;           // 0: no adapter
        const char* words;  // the model name, or what the reason says
    };
    const Expected expected[] = {
        {adapterAt(sim::kModelZnb5411, 9600), 9600, "ZNB5411"},
        {decoy(sim::Decoy::LoopBack), 0, "loop-back"},
        {adapterAt(sim::kModelAzur03, 460800), 460800, "Azur03"},
        {decoy(sim::Decoy::Modem), 0, "modem"},
        {decoy(sim::Decoy::Noise), 0, "line noise"},
        {adapterAt(sim::kModelZnb540, 8000000), 8000000, "ZNB540"},
        {decoy(sim::Decoy::Silent), 0, "no answer at 13 rates"},
    };
    std::vector<std::unique_ptr<EmulatedLink>> links;
    std::vector<DiscoveryTarget> targets;
    for (const Expected& e : expected) {
        links.push_back(std::make_unique<EmulatedLink>(e.settings, Link::Pty));
        ASSERT_TRUE(links.back()->started()) << links.back()->error();
        targets.push_back({SerialPortRequest{links.back()->server().ptyPath(), 115200}, true});
    }
    const std::vector<PortFinding> findings = discoverAdapters(targets, defaultChannelFactory());
    ASSERT_EQ(findings.size(), std::size(expected));
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const PortFinding& finding = findings[i];
        const auto& request = std::get<SerialPortRequest>(finding.request);
        if (expected[i].rate != 0) {
            EXPECT_EQ(finding.probe.verdict, ProbeVerdict::Application) << i << finding.reason;
            EXPECT_EQ(request.baud, expected[i].rate) << i;
            EXPECT_EQ(finding.probe.modelName, expected[i].words) << i;
        } else {
            EXPECT_FALSE(finding.found()) << i << " " << finding.probe.modelName;
            EXPECT_NE(finding.reason.find(expected[i].words), std::string::npos)
                << i << ": " << finding.reason;
        }
        const sim::AdapterServer& server = links[i]->server();
        EXPECT_TRUE(onlyProbeQueries(server)) << i;
        // Read-only: the adapter is as it was.
        const sim::AdapterStatus status = server.status();
        EXPECT_EQ(status.adapterRate, expected[i].settings.baud) << i;
        EXPECT_EQ(status.echo, expected[i].settings.echo) << i;
        EXPECT_EQ(status.mode, sim::AdapterMode::Application) << i;
        EXPECT_EQ(status.update, sim::UpdateStatus::None) << i;
    }
}

TEST(Discovery, BootLoaderAndTcpAdapterAtTheirOnlyRate) {
    sim::AdapterSettings boot = adapterAt(sim::kModelZnb5412, 115200);
    boot.bootLoader = true;
    EmulatedLink booting(boot, Link::Pty);
    EmulatedLink wifi(adapterAt(sim::kModelZnb5413, 115200), Link::Tcp);
    ASSERT_TRUE(booting.started() && wifi.started());
    const auto tcp = parsePortDescriptor(wifi.descriptor());
    ASSERT_TRUE(tcp.has_value());
    const DiscoveryTarget targets[] = {
        {SerialPortRequest{booting.server().ptyPath(), 115200}, false}, {*tcp, false}};
    const std::vector<PortFinding> findings = discoverAdapters(targets, defaultChannelFactory());
    EXPECT_EQ(findings[0].probe.verdict, ProbeVerdict::BootLoader) << findings[0].reason;
    EXPECT_EQ(findings[1].probe.verdict, ProbeVerdict::Application) << findings[1].reason;
    EXPECT_EQ(findings[1].probe.modelName, "ZNB5413");
    EXPECT_EQ(booting.server().status().mode, sim::AdapterMode::BootLoader);
    EXPECT_TRUE(onlyProbeQueries(booting.server()));
    EXPECT_TRUE(onlyProbeQueries(wifi.server()));
}

TEST(Discovery, APortAnotherProgramHoldsIsLeftAlone) {
    EmulatedLink adapter(adapterAt(sim::kModelZnb5411, 115200), Link::Pty);
    ASSERT_TRUE(adapter.started());
    const std::string path = adapter.server().ptyPath();
    const int held = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    const PortFinding finding =
        discoverOnPort({SerialPortRequest{path, 115200}, true}, defaultChannelFactory());
    ::close(held);
    EXPECT_FALSE(finding.found());
    EXPECT_EQ(finding.openCause, OpenCause::Busy);
    EXPECT_NE(finding.reason.find("in use by another program"), std::string::npos)
        << finding.reason;
    EXPECT_EQ(adapter.server().commands().size(), 0u);
}

// --port auto takes the one adapter among the listed ports, and refuses when there are two.
TEST(Discovery, PortAutoTakesTheOneAdapterOnly) {
    EmulatedLink first(adapterAt(sim::kModelZnb5411, 38400), Link::Pty);
    EmulatedLink second(adapterAt(sim::kModelZnb5412, 9600), Link::Pty);
    EmulatedLink modem(decoy(sim::Decoy::Modem), Link::Pty);
    ASSERT_TRUE(first.started() && second.started() && modem.started());
    const std::string one = first.server().ptyPath();
    const std::string two = second.server().ptyPath();
    const std::string other = modem.server().ptyPath();

    JobOptions options;
    options.autoPort = true;
    std::ostringstream said;
    EXPECT_EQ(resolveAutoPort(options, {other, one}, defaultChannelFactory(), said), -1);
    ASSERT_EQ(options.ports.size(), 1u);
    EXPECT_EQ(options.ports[0].request, PortRequest(SerialPortRequest{one, 38400}));

    JobOptions several;
    several.autoPort = true;
    std::ostringstream refused;
    EXPECT_EQ(resolveAutoPort(several, {one, other, two}, defaultChannelFactory(), refused), 1);
    EXPECT_TRUE(several.ports.empty());
    EXPECT_NE(refused.str().find("2 adapters found; name one with --port"), std::string::npos)
        << refused.str();
    EXPECT_NE(refused.str().find("com|" + two + ":9600  ZNB5412"), std::string::npos)
        << refused.str();
}

}  // namespace
}  // namespace korvane::e2e
