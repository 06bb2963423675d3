#include "tests/e2e/e2e_support.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/report_sink.h"
#include "engine/update_job.h"

namespace korvane::e2e {

namespace {

struct RecordingReports : JobReports {
    RecordingReports(JobRecord& record, UpdateJob& job, int stopAtProgress)
        : record(record), job(job), stopAtProgress(stopAtProgress) {}
    void onText(const char* text) override { record.texts.emplace_back(text); }
    void onProgress(int percent) override {
        record.progress.push_back(percent);
        if (stopAtProgress > 0 && percent >= stopAtProgress) {
            job.requestStop();
        }
    }
    JobRecord& record;
    UpdateJob& job;
    int stopAtProgress;
};

template <typename Port>
JobRecord runJob(const Port& port, const std::string& path, bool update, int stopAtProgress) {
    JobRecord record;
    UpdateJob job;
    RecordingReports reports(record, job, stopAtProgress);
    job.setReports(&reports);
    record.slot = job.openPort(port, path);
    if (record.slot >= 0) {
        record.outcome = job.run(record.slot, update ? JobKind::Update : JobKind::Read);
        job.releasePort(record.slot);
    }
    return record;
}

std::uint8_t hexValue(char c) {
    return static_cast<std::uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10);
}

std::vector<std::uint8_t> decode(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(hexValue(hex[i]) << 4 | hexValue(hex[i + 1])));
    }
    return bytes;
}

}  // namespace

const char* linkName(Link link) {
    return link == Link::Pty ? "pty" : "tcp";
}

EmulatedLink::EmulatedLink(sim::AdapterSettings settings, Link link) : link_(link) {
    sim::ServerOptions options;
    options.link =
        link == Link::Pty ? sim::ServerOptions::Link::Pty : sim::ServerOptions::Link::Tcp;
    options.tcpAddress = "127.0.0.1";
    options.tcpPort = 0;
    server_ = std::make_unique<sim::AdapterServer>(std::move(settings), options);
    started_ = server_->start(&error_);
}

EmulatedLink::~EmulatedLink() {
    server_->stop();
}

std::string EmulatedLink::descriptor() const {
    if (link_ == Link::Pty) {
        return "com|" + server_->ptyPath() + ":115200";
    }
    return "tcp|" + server_->address();
}

std::string JobRecord::output() const {
    std::string all;
    for (const std::string& text : texts) {
        all += text;
    }
    return all;
}

int JobRecord::count(const std::string& text) const {
    int n = 0;
    for (const std::string& t : texts) {
        n += t == text ? 1 : 0;
    }
    return n;
}

void expectLinkLossReason(const JobRecord& record, const std::string& fixed,
                          const std::string& descriptor) {
    const auto first = std::find(record.texts.begin(), record.texts.end(), fixed);
    ASSERT_NE(first, record.texts.end()) << record.output();
    // The reason follows the failure's whole group of fixed texts.
    auto at = first + 1;
    while (at != record.texts.end() && at->starts_with("**Failed** ")) {
        ++at;
    }
    ASSERT_NE(at, record.texts.end()) << record.output();
    const std::string& reason = *at;
    const bool tcp = descriptor.starts_with("tcp|");
    // "com|NAME:BAUD" names NAME; "tcp|ADDRESS:PORT" names ADDRESS:PORT.
    const std::string port =
        tcp ? descriptor.substr(4) : descriptor.substr(4, descriptor.rfind(':') - 4);
    EXPECT_TRUE(reason.starts_with("  " + port + ": ")) << reason;
    EXPECT_TRUE(reason.find("the connection was lost") != std::string::npos ||
                (tcp && reason.find("the adapter closed the connection") != std::string::npos))
        << reason;
    EXPECT_NE(reason.find(tcp ? "Wi-Fi network" : "the Bluetooth link"), std::string::npos)
        << reason;
    EXPECT_TRUE(reason.ends_with(", then power the adapter off and on and update again.\r\n"))
        << reason;
    int reasons = 0;
    for (const std::string& text : record.texts) {
        reasons += text.starts_with("  ") ? 1 : 0;
    }
    EXPECT_EQ(reasons, 1) << record.output();
}

sim::UpdateFileRecipe recipeFor(int model, std::size_t payloadBytes) {
    sim::UpdateFileRecipe recipe;
    recipe.payload = sim::samplePayload(payloadBytes, static_cast<std::uint32_t>(model + 7));
    recipe.productText = "Korvane OBD";
    static const char* const kModelNames[] = {"Azur03", "ZNB5413",       "ZNB5411",       "ZNB5412",
                                              "Azur01", "Korvane FS v1", "Korvane FS BT1"};
    recipe.modelName = kModelNames[model];
    recipe.family = model <= sim::kModelAzur01 ? 2 : 1;
    // Above the emulator's default firmware version, which sits at the model's threshold.
    recipe.versionText =
        (model == sim::kModelAzur03 || model == sim::kModelAzur01) ? "V4.0.1X" : "V2.2.3X";
    return recipe;
}

UpdateFileOnDisk writeUpdateFile(const sim::UpdateFileRecipe& recipe) {
    static std::atomic<int> counter{0};
    UpdateFileOnDisk out;
    out.file = sim::makeUpdateFile(recipe);
    out.payload = recipe.payload;
    out.path = ::testing::TempDir() + "korvane_e2e_" + std::to_string(::getpid()) + "_" +
               std::to_string(counter++) + ".txt";
    EXPECT_TRUE(out.file.ok()) << out.file.error;
    EXPECT_TRUE(sim::saveUpdateFile(out.path, out.file));
    return out;
}

JobRecord runUpdateJob(const std::string& descriptor, const std::string& path, int stopAtProgress) {
    return runJob(descriptor, path, true, stopAtProgress);
}

JobRecord runUpdateJob(const PortRequest& port, const std::string& path) {
    return runJob(port, path, true, -1);
}

JobRecord openWhileHolding(const PortRequest& held, const PortRequest& port) {
    UpdateJob job;
    const int heldSlot = job.openPort(held, "");
    EXPECT_GE(heldSlot, 0);
    JobRecord record;
    RecordingReports reports(record, job, -1);
    job.setReports(&reports);
    record.slot = job.openPort(port, "");
    job.setReports(nullptr);
    return record;
}

JobRecord runReadJob(const std::string& descriptor) {
    return runJob(descriptor, "", false, -1);
}

std::vector<std::uint8_t> imagePayload(const sim::FirmwareImage& image) {
    std::vector<std::uint8_t> payload;
    for (const std::string& entry : image.entries) {
        if (image.family == 2) {
            // The entry is line byte 1 onwards: bytes 1-2 are "FFF1" on the information line.
            if (entry.rfind("FFF1", 0) == 0) {
                break;
            }
            const std::vector<std::uint8_t> bytes = decode(entry);  // line bytes 1 to 67
            if (bytes.size() >= 66) {
                payload.insert(payload.end(), bytes.begin() + 2, bytes.begin() + 66);
            }
        } else {
            const std::vector<std::uint8_t> bytes = decode(entry);
            if (bytes.size() >= 2) {
                const std::size_t length = static_cast<std::size_t>(bytes[0]) * 256 + bytes[1];
                if (bytes.size() >= 2 + length) {
                    payload.insert(payload.end(), bytes.begin() + 2,
                                   bytes.begin() + 2 + static_cast<std::ptrdiff_t>(length));
                }
            }
        }
    }
    return payload;
}

bool sawFailureText(const JobRecord& record) {
    static const char* const kRefusals[] = {
        "There is no upgrade function for this product!\r\n",
        "The device firmware version number is higher, please use the latest firmware file.!\r\n",
        "This software version is too low, please download the latest software version.!\r\n",
        "Please upgrade to version ",
        "This product is too old",
    };
    for (const std::string& text : record.texts) {
        if (text.rfind("**Failed** ", 0) == 0) {
            return true;
        }
        for (const char* refusal : kRefusals) {
            if (text.rfind(refusal, 0) == 0) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace korvane::e2e
