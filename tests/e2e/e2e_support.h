#pragma once

// Whole updates and read-outs against the emulated adapter, over a real pty or a real TCP
// connection, through the same UpdateJob the window drives.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "channel/port_descriptor.h"
#include "engine/job_outcome.h"
#include "sim/adapter/adapter_server.h"
#include "sim/update_file_writer.h"

namespace korvane::e2e {

enum class Link { Pty, Tcp };

const char* linkName(Link link);

// One emulated adapter served on a background thread for the life of the object.
class EmulatedLink {
public:
    EmulatedLink(sim::AdapterSettings settings, Link link);
    ~EmulatedLink();

    bool started() const { return started_; }
    const std::string& error() const { return error_; }
    // The port descriptor that reaches the adapter: "com|PTY:115200" or "tcp|127.0.0.1:PORT".
    std::string descriptor() const;
    sim::AdapterServer& server() { return *server_; }

private:
    std::unique_ptr<sim::AdapterServer> server_;
    Link link_;
    bool started_ = false;
    std::string error_;
};

// What one job reported, in order.
struct JobRecord {
    std::vector<std::string> texts;
    std::vector<int> progress;
    int slot = -1;
    JobOutcome outcome;  // what runUpdate or readVersions gave back

    std::string output() const;
    bool saw(const std::string& text) const { return output().find(text) != std::string::npos; }
    int count(const std::string& text) const;
};

// A link lost during a run: after the first `fixed` text and the failure texts right after it, and
// nowhere else, one reason line
// that names the port of `descriptor`, says the connection was lost (or closed by the adapter
// over TCP) and ends with what to do.
void expectLinkLossReason(const JobRecord& record, const std::string& fixed,
                          const std::string& descriptor);

// An update file written to a fresh temporary path.
struct UpdateFileOnDisk {
    sim::GeneratedUpdateFile file;
    std::string path;
    std::vector<std::uint8_t> payload;
};

// A sound update file of `family` for adapter `model` (the writer's recipe filled so that the
// emulator's default identity, product text and version accept it). `payloadBytes` of payload.
sim::UpdateFileRecipe recipeFor(int model, std::size_t payloadBytes);
UpdateFileOnDisk writeUpdateFile(const sim::UpdateFileRecipe& recipe);

// Runs a whole update (openPort, runUpdate, releasePort) on `descriptor`. With `stopAtProgress`
// above 0, the stop request is set as soon as a progress value reaches it.
JobRecord runUpdateJob(const std::string& descriptor, const std::string& path,
                       int stopAtProgress = -1);
JobRecord runReadJob(const std::string& descriptor);
// The same for a port request built directly (a name the descriptor form cannot carry).
JobRecord runUpdateJob(const PortRequest& port, const std::string& path);
// What opening `port` reports while the same job holds `held` open.
JobRecord openWhileHolding(const PortRequest& held, const PortRequest& port);

// The firmware bytes an adapter's image holds: family 2, bytes 3 to 66 of every line before the
// information line; family 1, the data bytes of every record.
std::vector<std::uint8_t> imagePayload(const sim::FirmwareImage& image);

inline constexpr char kFinished[] = "File download finished!\r\n";
// Whether the user was told of a failure: a "**Failed**" text or a refusal of the version gate.
bool sawFailureText(const JobRecord& record);

}  // namespace korvane::e2e
