#pragma once

// Shared set-up of the flow tests: a job whose reports are collected, a scripted adapter link
// with its echo on, and update-file contents built in memory.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/update_job.h"
#include "tests/support/scripted_channel.h"

namespace korvane::test {

// Everything a job reported, in order.
struct ReportLog : JobReports {
    std::vector<std::string> texts;
    std::vector<int> progress;

    std::string output() const {
        std::string all;
        for (const std::string& text : texts) {
            all += text;
        }
        return all;
    }
    bool saw(const std::string& text) const { return output().find(text) != std::string::npos; }
    int count(const std::string& text) const {
        int n = 0;
        for (const std::string& t : texts) {
            n += t == text ? 1 : 0;
        }
        return n;
    }

    void onText(const char* text) override { texts.emplace_back(text); }
    void onProgress(int percent) override { progress.push_back(percent); }
};

// A data line of a family-2 file: type digits, then 134 digits that tell lines apart.
inline std::string family2Line(const char* type, int index) {
    char body[135];
    for (int i = 0; i < 134; ++i) {
        body[i] = "0123456789ABCDEF"[(index * 7 + i) % 16];
    }
    body[134] = '\0';
    return std::string(type) + body;
}

// `count` numbered data lines joined with CR LF; `types` overrides the type of line i (0-based).
inline std::string family2Text(int count,
                               const std::vector<std::pair<int, const char*>>& types = {}) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const char* type = "00";
        for (const auto& [line, override] : types) {
            if (line == i) {
                type = override;
            }
        }
        text += family2Line(type, i) + "\r\n";
    }
    return text;
}

class FlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        job.setReports(&log);
        channel.setEcho(true);
    }

    // Puts `text` into the job's file area as a checked family-2 file of model `modelName`.
    void loadFile(const std::string& text, const char* modelName = "ZNB5411",
                  int fileVersion = 2230, const char* productText = "Korvane OBD") {
        UpdateFile& file = freshFile();
        file.data.assign(text.begin(), text.end());
        file.size = static_cast<std::int32_t>(file.data.size());
        file.family = 2;
        int lines = 0;
        for (char c : text) {
            lines += c == '\n' ? 1 : 0;
        }
        file.lineCount = lines;
        file.progressStep = 90.0 / lines;
        std::snprintf(file.modelName, sizeof(file.modelName), "%s", modelName);
        std::snprintf(file.productText, sizeof(file.productText), "%s", productText);
        file.fileVersion = fileVersion;
    }

    // An empty file for the test to fill in, the one the flows see from now on.
    UpdateFile& freshFile() {
        auto made = std::make_shared<UpdateFile>();
        UpdateFile& file = *made;
        job.useFile(std::move(made));
        return file;
    }

    // Commands written that begin with `prefix`.
    std::vector<std::string> writesStartingWith(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& w : channel.writes()) {
            if (w.rfind(prefix, 0) == 0) {
                found.push_back(w);
            }
        }
        return found;
    }

    ReportLog log;
    UpdateJob job;
    ScriptedChannel channel;
};

}  // namespace korvane::test
