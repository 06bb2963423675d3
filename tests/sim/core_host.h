#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "sim/adapter/emulated_adapter.h"

namespace korvane::simtest {

// Drives an EmulatedAdapter in-process on a clock the test moves by hand.
struct CoreHost {
    explicit CoreHost(sim::AdapterSettings settings) : adapter(std::move(settings)) {}

    // Sends raw bytes and returns what is due at once.
    std::string send(const std::string& bytes) {
        adapter.receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), now);
        return take();
    }
    // Sends `command` and CR; returns what is due at once (echo included).
    std::string say(const std::string& command) { return send(command + "\r"); }
    std::string take() {
        std::string out;
        adapter.collectOutput(now, out);
        return out;
    }
    void advanceMs(int ms) { now += std::int64_t{ms} * 1'000'000; }
    void advanceNs(std::int64_t ns) { now += ns; }

    sim::EmulatedAdapter adapter;
    std::int64_t now = 0;
};

// Settings with echo on from power-on, so every answer starts with the command's echo.
inline sim::AdapterSettings echoing(int model) {
    sim::AdapterSettings settings;
    settings.model = model;
    settings.echo = true;
    return settings;
}

}  // namespace korvane::simtest
