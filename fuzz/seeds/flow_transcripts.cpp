#include "fuzz/seeds/flow_transcripts.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "channel/channel.h"
#include "channel/channel_factory.h"
#include "engine/report_sink.h"
#include "engine/update_job.h"
#include "fuzz/flows_input.h"
#include "fuzz/support/virtual_clock.h"
#include "sim/adapter/emulated_adapter.h"
#include "sim/adapter/output_queue.h"
#include "sim/update_file_writer.h"

namespace korvane::fuzz {

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;

// The emulated adapter as a channel, on the virtual clock. Records what the updater reads.
class EmulatorChannel : public Channel {
public:
    explicit EmulatorChannel(sim::EmulatedAdapter& adapter) : adapter_(adapter) {}

    const std::string& recorded() const { return recorded_; }

    void close() override {}
    ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) override {
        if (count <= 0) {
            return count == 0 ? ReadResult::Read : ReadResult::LinkLost;
        }
        const std::int64_t deadline = virtualNowMs() + timeoutMs;
        for (;;) {
            adapter_.collectOutput(nowNs(), pending_);
            if (pending_.size() >= static_cast<std::size_t>(count)) {
                break;
            }
            const std::int64_t due = adapter_.nextDueNs();
            if (due == sim::kNever || due / kNsPerMs + 1 > deadline) {
                advanceVirtualClock(deadline - virtualNowMs());
                return ReadResult::TimedOut;
            }
            advanceVirtualClock(due / kNsPerMs + 1 - virtualNowMs());
        }
        for (int i = 0; i < count; ++i) {
            buffer[i] = static_cast<std::uint8_t>(pending_[static_cast<std::size_t>(i)]);
        }
        recorded_.append(pending_, 0, static_cast<std::size_t>(count));
        pending_.erase(0, static_cast<std::size_t>(count));
        return ReadResult::Read;
    }
    bool write(const std::uint8_t* bytes, int count, int) override {
        if (count > 0) {
            adapter_.receive(bytes, static_cast<std::size_t>(count), nowNs());
        }
        return count >= 0;
    }
    void purge() override {
        adapter_.collectOutput(nowNs(), pending_);
        pending_.clear();
    }
    int available() override {
        adapter_.collectOutput(nowNs(), pending_);
        return static_cast<int>(pending_.size());
    }
    bool isOpen() override { return true; }
    bool reopen() override { return true; }
    Channel* acceptPeer(const ChannelConfig&, int) override { return nullptr; }
    int setBaudRate(int) override { return 1; }  // as over TCP: the link has no rate

private:
    static std::int64_t nowNs() { return virtualNowMs() * kNsPerMs; }

    sim::EmulatedAdapter& adapter_;
    std::string pending_;
    std::string recorded_;
};

struct Variant {
    const char* name;
    int file;  // flowFileRecipe index
    bool update;
    bool bootLoader;
    bool echo;
    const char* firmwareVersion;  // empty: the model's default
    const char* elmVersion;
    sim::FaultPlan faults;
};

std::string transcript(const Variant& v, const std::string& path) {
    resetVirtualClock();
    const sim::UpdateFileRecipe recipe = flowFileRecipe(v.file);
    static const std::string kModels[] = {"Azur03", "ZNB5413", "ZNB5411", "ZNB5412", "Azur01"};
    sim::AdapterSettings settings;
    settings.model = recipe.family == 1 ? (recipe.modelName == "Korvane FS v1" ? 5 : 6) : 3;
    for (int m = 0; m < 5; ++m) {
        if (recipe.modelName == kModels[m]) {
            settings.model = m;
        }
    }
    settings.bootLoader = v.bootLoader;
    settings.echo = v.echo;
    settings.firmwareVersion = v.firmwareVersion;
    settings.elmVersion = v.elmVersion;
    settings.faults = v.faults;
    sim::EmulatedAdapter adapter(settings);

    EmulatorChannel* channel = nullptr;
    auto construct = [&adapter, &channel](const auto&, bool& isOpen) {
        auto made = std::make_unique<EmulatorChannel>(adapter);
        channel = made.get();
        isOpen = true;
        return std::unique_ptr<Channel>(std::move(made));
    };
    UpdateJob job(ChannelFactory{construct, construct});
    job.setReports(nullptr);
    const int slot = job.openPort("tcp|127.0.0.1:35000", path);
    std::string stream;
    if (slot >= 0) {
        job.run(slot, v.update ? JobKind::Update : JobKind::Read);
        stream = channel->recorded();
        job.releasePort(slot);
    }
    std::string seed(kFlowHeaderSize, '\0');
    seed[0] = static_cast<char>(v.update ? 0 : 1);
    seed[1] = static_cast<char>(v.file);
    return seed + stream;
}

}  // namespace

std::vector<NamedSeed> flowTranscriptSeeds() {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    std::vector<Variant> variants;
    for (int file = 0; file < kFlowFiles; ++file) {
        const bool family2 = flowFileRecipe(file).family == 2;
        variants.push_back({"app", file, true, false, false, "", "2.2", {}});
        variants.push_back({"app-echo", file, true, false, true, "", "2.2", {}});
        if (family2) {
            variants.push_back({"boot", file, true, true, false, "", "2.2", {}});
        }
    }
    sim::FaultPlan repPack;
    repPack.repPack = {{1, 2}, {2, 1}};
    sim::FaultPlan repBlock;
    repBlock.repBlock = {{1, 2}};
    sim::FaultPlan finish;
    finish.finishFailures = 1;
    sim::FaultPlan err02;
    err02.err02 = {{1, 1}};
    sim::FaultPlan refuseFast;
    refuseFast.refuseBaudSwitch = true;
    sim::FaultPlan noise;
    noise.noiseBytes = 5;
    noise.noiseAt.all = true;
    sim::FaultPlan nul;
    nul.nulAt.all = true;
    variants.push_back({"reppack", 1, true, false, true, "", "2.2", repPack});
    variants.push_back({"repblock", 1, true, false, true, "", "2.2", repBlock});
    variants.push_back({"finish-error", 3, true, false, true, "", "2.2", finish});
    variants.push_back({"err02", 6, true, false, true, "", "2.2", err02});
    variants.push_back({"fast-link-refused", 5, true, false, true, "", "2.2", refuseFast});
    variants.push_back({"noise", 3, true, false, false, "", "2.2", noise});
    variants.push_back({"nul", 3, true, false, true, "", "2.2", nul});
    variants.push_back({"below-threshold", 3, true, false, true, "2.2.28", "2.2", {}});
    variants.push_back({"no-upgrade", 4, true, false, true, "4.0.04", "2.2", {}});
    variants.push_back({"elm-too-new", 2, true, false, true, "", "2.4", {}});
    for (int file : {0, 3, 5, 6}) {
        variants.push_back({"read", file, false, false, true, "", "2.2", {}});
    }

    std::vector<NamedSeed> seeds;
    for (const Variant& v : variants) {
        const std::string path =
            (dir / ("korvane-fuzz-seed-" + std::to_string(v.file) + ".hex")).string();
        if (!sim::saveUpdateFile(path, sim::makeUpdateFile(flowFileRecipe(v.file)))) {
            continue;
        }
        seeds.push_back({std::string("flow-") + v.name + "-file" + std::to_string(v.file),
                         transcript(v, path)});
        std::remove(path.c_str());
    }
    return seeds;
}

}  // namespace korvane::fuzz
