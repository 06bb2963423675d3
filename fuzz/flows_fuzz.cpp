// The update job and both download flows, identification and the version read-outs, against an
// adapter whose every byte comes from the fuzz input (see flows_input.h), on the virtual clock.
//
// Properties, besides no memory or undefined-behaviour fault and no endless loop:
//   - the job's outcome says finished only when every line (family 2) or record (family 1) of the
//     file was written to the adapter, in file order, followed by the closing command ("QXFL\r"
//     or the closing record; "QXDLED\r"); and progress 100 comes with it;
//   - an update that did not finish has a failure text in its outcome and ends with a
//     "**Failed**" or refusal text; one refused before download mode wrote no download command;
//   - a read-out that finished reported a text;
//   - progress never goes backwards and stays within 0 to 100.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "channel/channel_factory.h"
#include "engine/report_sink.h"
#include "engine/update_job.h"
#include "fuzz/flows_input.h"
#include "fuzz/support/fuzz_channel.h"
#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/fuzz_input.h"
#include "fuzz/support/virtual_clock.h"
#include "sim/update_file_writer.h"
#include "tests/support/outcome_text.h"

namespace {

using namespace korvane;
using namespace korvane::fuzz;

struct FlowFile {
    std::string path;
    sim::GeneratedUpdateFile generated;
};

std::vector<FlowFile>& flowFiles() {
    static std::vector<FlowFile> files;
    return files;
}

// The folder that holds the generated files; removed with them when the process ends.
std::string& flowDirectory() {
    static std::string directory;
    return directory;
}

void removeFlowFiles() {
    for (const FlowFile& file : flowFiles()) {
        std::remove(file.path.c_str());
    }
    if (!flowDirectory().empty()) {
        ::rmdir(flowDirectory().c_str());
    }
}

struct Reports : JobReports {
    std::string output;
    std::vector<int> progress;

    void onText(const char* text) override { output += text; }
    void onProgress(int percent) override { progress.push_back(percent); }
};

// Whether any write sent the adapter firmware or switched its link for a download: what only an
// adapter that took a download-mode command is sent.
bool wroteFirmwareCommand(const std::vector<std::string>& writes) {
    for (const std::string& w : writes) {
        for (const char* prefix : {"QXBL", "QXDLDT", "QX DLBD"}) {
            if (w.rfind(prefix, 0) == 0) {
                return true;
            }
        }
    }
    return false;
}

// Whether `wanted` appear in `writes` in this order (others may come between).
std::size_t findInOrder(const std::vector<std::string>& writes, std::size_t from,
                        const std::vector<std::string>& wanted) {
    std::size_t at = from;
    for (const std::string& command : wanted) {
        while (at < writes.size() && writes[at] != command) {
            ++at;
        }
        if (at == writes.size()) {
            return std::string::npos;
        }
        ++at;
    }
    return at;
}

bool writtenFrom(const std::vector<std::string>& writes, std::size_t from, const char* command) {
    for (std::size_t i = from; i < writes.size(); ++i) {
        if (writes[i] == command) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char directory[] = "/tmp/korvane-fuzz-flows-XXXXXX";
    if (::mkdtemp(directory) == nullptr) {
        std::abort();
    }
    // Both lists exist before the handler is registered, so they outlive it at exit.
    flowFiles().clear();
    flowDirectory() = directory;
    std::atexit(removeFlowFiles);
    for (int i = 0; i < kFlowFiles; ++i) {
        FlowFile file;
        file.generated = sim::makeUpdateFile(flowFileRecipe(i));
        file.path = std::string(directory) + "/file" + std::to_string(i) + ".hex";
        if (!file.generated.ok() || !sim::saveUpdateFile(file.path, file.generated)) {
            std::abort();
        }
        flowFiles().push_back(std::move(file));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    resetVirtualClock();
    FuzzInput input(data, size);
    const bool update = input.byte() % 2 == 0;
    const FlowFile& file = flowFiles()[input.byte() % kFlowFiles];
    FuzzChannelScript script;
    const std::uint8_t flags = input.byte();
    script.echo = (flags & 1) != 0;
    script.byteDelayMs = (flags >> 1) & 0x0F;
    script.writeFailures = input.dword();
    script.baudRefusals = input.byte();
    const int stopAfterWrites = input.word();
    script.stream = input.rest();

    UpdateJob* jobForStop = nullptr;
    script.afterWrite = [&jobForStop, stopAfterWrites](int writes) {
        if (stopAfterWrites > 0 && writes == stopAfterWrites && jobForStop != nullptr) {
            jobForStop->requestStop();
        }
    };
    FuzzChannel* channel = nullptr;
    auto construct = [&script, &channel](const auto&, bool& isOpen) {
        auto made = std::make_unique<FuzzChannel>(script);
        channel = made.get();
        isOpen = true;
        return std::unique_ptr<Channel>(std::move(made));
    };
    UpdateJob job(ChannelFactory{construct, construct});
    jobForStop = &job;
    Reports reports;
    job.setReports(&reports);

    const int slot = job.openPort("tcp|127.0.0.1:35000", file.path);
    FUZZ_CHECK(slot == 0 && channel != nullptr);
    if (!update) {
        const JobOutcome read = job.readVersions(slot);
        job.releasePort(slot);
        FUZZ_CHECK(!read.finished() || !reports.output.empty());
        return 0;
    }
    const JobOutcome outcome = job.runUpdate(slot);
    const std::vector<std::string> writes = channel->writes();
    job.releasePort(slot);

    if (std::getenv("KORVANE_FUZZ_SHOW") != nullptr) {
        // Replaying one input: what the updater said and wrote.
        std::fprintf(stderr, "file %s\noutput:\n%s\nwrites:\n", file.path.c_str(),
                     reports.output.c_str());
        for (const std::string& w : writes) {
            std::fprintf(stderr, "  %s\n", w.substr(0, 70).c_str());
        }
    }
    for (std::size_t i = 1; i < reports.progress.size(); ++i) {
        FUZZ_CHECK(reports.progress[i] >= reports.progress[i - 1]);
    }
    for (int p : reports.progress) {
        FUZZ_CHECK(p >= 0 && p <= 100);
    }
    const bool finished = outcome.finished();
    FUZZ_CHECK(finished == (!reports.progress.empty() && reports.progress.back() == 100));
    if (!finished) {
        if (outcome.result == JobResult::Stopped && outcome.adapter == AdapterState::Untouched) {
            // Stopped before download mode: no failure of the adapter's, the stop's reason line,
            // and no firmware sent.
            FUZZ_CHECK(reports.output.find("stopped before the adapter was put into download "
                                           "mode") != std::string::npos);
            FUZZ_CHECK(!wroteFirmwareCommand(writes));
            return 0;
        }
        FUZZ_CHECK(!outcome.failureText.empty());
        FUZZ_CHECK(test::isFailureOrRefusalLine(test::lastLineOf(reports.output)));
        // Refused: no download-mode command went out, or the adapter's answer refused each one;
        // either way it was sent no firmware and is left as it was.
        if (outcome.result == JobResult::Refused) {
            FUZZ_CHECK(outcome.adapter == AdapterState::Untouched);
            FUZZ_CHECK(!wroteFirmwareCommand(writes));
        }
        return 0;
    }
    // Recorded writes are bounded; the small files here never reach the bound.
    const std::size_t afterLines = findInOrder(writes, 0, file.generated.commands);
    FUZZ_CHECK(afterLines != std::string::npos);
    const bool lineDownload = file.generated.commands.front().rfind("QXBL", 0) == 0;
    FUZZ_CHECK(writtenFrom(writes, afterLines, lineDownload ? "QXFL\r" : "QXDLED\r"));
    return 0;
}
