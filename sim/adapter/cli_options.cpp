#include "sim/adapter/cli_options.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

namespace korvane::sim {

namespace {

bool parseInt(const std::string& text, int low, int high, int& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator)) {
        parts.push_back(part);
    }
    return parts;
}

// "AT:COUNT" with both numbers 1 or more.
bool parseCountAt(const std::string& text, CountAt& value) {
    const std::vector<std::string> parts = split(text, ':');
    return parts.size() == 2 && parseInt(parts[0], 1, INT_MAX, value.at) &&
           parseInt(parts[1], 1, INT_MAX, value.count);
}

// "all" or a comma-separated list of command numbers.
bool parseSelection(const std::string& text, CommandSelection& selection) {
    if (text == "all") {
        selection.all = true;
        return true;
    }
    for (const std::string& part : split(text, ',')) {
        int number = 0;
        if (!parseInt(part, 1, INT_MAX, number)) {
            return false;
        }
        selection.numbers.push_back(number);
    }
    return !selection.numbers.empty();
}

bool parseTcpAddress(const std::string& text, ServerOptions& server) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    server.tcpAddress = text.substr(0, colon);
    return parseInt(text.substr(colon + 1), 0, 65535, server.tcpPort);
}

// The largest noise burst and flash write time the emulator takes.
constexpr int kMostNoiseBytes = 4096;
constexpr int kMostLineDelayMs = 600000;

// Options take effect in the order they are given, as the words of a command line are read: the
// last link option wins, a value given twice keeps the later one, and the fault options add one
// entry each time they appear.
CLI::Option* flag(CLI::App& app, const std::string& name, std::function<void()> set) {
    return app.add_flag_callback(name, std::move(set))->trigger_on_parse();
}

CLI::Option* text(CLI::App& app, const std::string& name,
                  std::function<void(const std::string&)> take) {
    return app.add_option_function<std::string>(name, std::move(take))->trigger_on_parse();
}

// A decimal number from `low` to `high`. The text is read in decimal (CLI11 alone would take
// "010" as octal) and handed on in its plain form.
CLI::Option* number(CLI::App& app, const std::string& name, int low, int high, int& value) {
    CLI::Validator decimal(
        [](std::string& text) -> std::string {
            int parsed = 0;
            if (!parseInt(text, INT_MIN, INT_MAX, parsed)) {
                return "bad number: " + text;
            }
            text = std::to_string(parsed);
            return {};
        },
        "INT");
    return app.add_option(name, value)
        ->transform(decimal)
        ->check(CLI::Range(low, high))
        ->type_name("N")
        ->trigger_on_parse();
}

// "AT:COUNT", added to `list` each time the option appears.
CLI::Option* countAt(CLI::App& app, const std::string& name, std::vector<CountAt>& list) {
    return text(app, name, [name, &list](const std::string& value) {
        CountAt parsed;
        if (!parseCountAt(value, parsed)) {
            throw CLI::ValidationError(name, "wants AT:COUNT, got " + value);
        }
        list.push_back(parsed);
    });
}

}  // namespace

const char* usageText() {
    return "usage: korvane-adapter-sim [--tcp ADDR:PORT | --pty] [options]\n"
           "Serves one emulated OBD-II adapter until SIGINT or SIGTERM.\n"
           "  --tcp ADDR:PORT          listen there (default 127.0.0.1:35000; port 0: any free)\n"
           "  --pty                    create a pseudo-terminal and print its slave path\n"
           "  --model N                0 Azur03, 1 ZNB5413, 2 ZNB5411, 3 ZNB5412, 4 Azur01,\n"
           "                           5 ZNB540, 6 ZNB6730 (default 1)\n"
           "  --boot-loader            start in the boot loader (models 0 to 4)\n"
           "  --echo                   echo on at power-on\n"
           "  --elm-version V          version after \"ELM327 v\" (default 2.2)\n"
           "  --firmware-version V     firmware version text\n"
           "  --short-version V        short version text (default 2.2)\n"
           "  --firmware-version-after V, --short-version-after V\n"
           "                           versions reported after a completed update\n"
           "  --identity TEXT          start of the \"QXI\" answer, before the version\n"
           "  --product TEXT           the \"QXPROI\" answer\n"
           "  --version-without-model  models 5, 6: \"QXVERS\" answer without the model name\n"
           "  --baud N                 the adapter's rate at power-on (default 115200); a host\n"
           "                           at another rate is not heard and hears nothing\n"
           "  --rate N                 as --baud, but a host at another rate is heard as line\n"
           "                           noise and hears its answers as noise, as on a real wire\n"
           "  --decoy KIND             no adapter but loopback (echoes every byte), modem\n"
           "                           (answers every line \"OK\"), noise or silent\n"
           "  --wire-time              bytes take 10 bits at the current rate each way\n"
           "  --image-out FILE         write the received image there\n"
           "  --image-format F         lines: the hex text of every line or record taken, one a\n"
           "                           line (default); payload: the firmware bytes they carry\n"
           "  --trace                  print every command with its time on stderr\n"
           "  -h, --help               show this text and exit\n"
           "Faults:\n"
           "  --rep-pack LINE:COUNT    answer \"RepPack\" to that line COUNT times\n"
           "  --rep-block PAIR:COUNT   answer \"RepBlock\" to that pair COUNT times\n"
           "  --err02 RECORD:COUNT     answer \"ERR02\" to that record COUNT times\n"
           "  --finish-failures N      answer \"ERROR\" to \"QXFL\" N times\n"
           "  --silent-after K         no answer at all from command K+1 on\n"
           "  --noise N[:all|K,K...]   N noise bytes before the echo (default: every command)\n"
           "  --nul all|K,K...         NUL bytes inside the answers of those commands\n"
           "  --flood-at K             answer command K with 100000 bytes and no prompt\n"
           "  --drop-at-line K         close the link when line command K arrives\n"
           "  --refuse-baud            refuse \"QX DLBD 02\"\n"
           "  --line-delay MS          flash write time per line or record\n"
           "  --answer-delay MS        every other answer (queries, mode commands) MS late\n"
           "  --stall K:MS             the link stalls for MS ms when line command K arrives\n"
           "Exit status: 0 the last update completed, 1 it did not, 3 no update was started,\n"
           "2 bad arguments or the link could not be set up.\n";
}

bool parseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string& error) {
    AdapterSettings& settings = options.settings;
    FaultPlan& faults = settings.faults;
    ServerOptions& server = options.server;

    CLI::App app("Serves one emulated OBD-II adapter.", "korvane-adapter-sim");
    // --help prints usageText(), so that text stays the one description of the options.
    app.set_help_flag();
    flag(app, "-h,--help", [&] { options.help = true; });

    text(app, "--tcp", [&](const std::string& value) {
        server.link = ServerOptions::Link::Tcp;
        if (!parseTcpAddress(value, server)) {
            throw CLI::ValidationError("--tcp", "wants ADDR:PORT, got " + value);
        }
    });
    flag(app, "--pty", [&] { server.link = ServerOptions::Link::Pty; });
    number(app, "--model", 0, 6, settings.model);
    flag(app, "--boot-loader", [&] { settings.bootLoader = true; });
    flag(app, "--echo", [&] { settings.echo = true; });
    text(app, "--elm-version", [&](const std::string& value) { settings.elmVersion = value; });
    text(app, "--firmware-version",
         [&](const std::string& value) { settings.firmwareVersion = value; });
    text(app, "--short-version", [&](const std::string& value) { settings.shortVersion = value; });
    text(app, "--firmware-version-after",
         [&](const std::string& value) { settings.firmwareVersionAfterUpdate = value; });
    text(app, "--short-version-after",
         [&](const std::string& value) { settings.shortVersionAfterUpdate = value; });
    text(app, "--identity", [&](const std::string& value) { settings.identityPrefix = value; });
    text(app, "--product", [&](const std::string& value) { settings.productText = value; });
    flag(app, "--version-without-model", [&] { settings.versionNamesModel = false; });
    number(app, "--baud", 1, INT_MAX, settings.baud);
    number(app, "--rate", 1, INT_MAX, settings.baud)->each([&](const std::string&) {
        settings.mismatchAsNoise = true;
    });
    text(app, "--decoy", [&](const std::string& value) {
        if (value == "loopback") {
            settings.decoy = Decoy::LoopBack;
        } else if (value == "modem") {
            settings.decoy = Decoy::Modem;
        } else if (value == "noise") {
            settings.decoy = Decoy::Noise;
        } else if (value == "silent") {
            settings.decoy = Decoy::Silent;
        } else {
            throw CLI::ValidationError("--decoy",
                                       "wants loopback, modem, noise or silent, got " + value);
        }
    });
    flag(app, "--wire-time", [&] { settings.wireTime = true; });
    text(app, "--image-out", [&](const std::string& value) { server.imageOut = value; });
    text(app, "--image-format", [&](const std::string& value) {
        if (value == "lines") {
            server.imageFormat = ImageFormat::Lines;
        } else if (value == "payload") {
            server.imageFormat = ImageFormat::Payload;
        } else {
            throw CLI::ValidationError("--image-format", "wants lines or payload, got " + value);
        }
    });
    flag(app, "--trace", [&] { options.trace = true; });

    countAt(app, "--rep-pack", faults.repPack);
    countAt(app, "--rep-block", faults.repBlock);
    countAt(app, "--err02", faults.err02);
    number(app, "--finish-failures", 0, INT_MAX, faults.finishFailures);
    number(app, "--silent-after", 1, INT_MAX, faults.silentAfterCommand);
    text(app, "--noise", [&](const std::string& value) {
        const std::size_t colon = value.find(':');
        bool ok = parseInt(value.substr(0, colon), 1, kMostNoiseBytes, faults.noiseBytes);
        if (ok && colon != std::string::npos) {
            ok = parseSelection(value.substr(colon + 1), faults.noiseAt);
        } else {
            faults.noiseAt.all = true;
        }
        if (!ok) {
            throw CLI::ValidationError("--noise", "wants N[:all|K,K...], got " + value);
        }
    });
    text(app, "--nul", [&](const std::string& value) {
        if (!parseSelection(value, faults.nulAt)) {
            throw CLI::ValidationError("--nul", "wants all or K,K..., got " + value);
        }
    });
    number(app, "--flood-at", 1, INT_MAX, faults.floodAtCommand);
    number(app, "--drop-at-line", 1, INT_MAX, faults.dropAtLine);
    flag(app, "--refuse-baud", [&] { faults.refuseBaudSwitch = true; });
    number(app, "--line-delay", 0, kMostLineDelayMs, faults.lineDelayMs);
    number(app, "--answer-delay", 0, kMostLineDelayMs, faults.answerDelayMs);
    text(app, "--stall", [&](const std::string& value) {
        int at = 0;
        int ms = 0;
        char rest = '\0';
        if (std::sscanf(value.c_str(), "%d:%d%c", &at, &ms, &rest) != 2 || at < 1 || ms < 0 ||
            ms > kMostLineDelayMs) {
            throw CLI::ValidationError("--stall", "wants K:MS, got " + value);
        }
        faults.stallAtLine = at;
        faults.stallMs = ms;
    });

    // CLI11 takes the arguments last first.
    std::vector<std::string> args(argv, argv + argc);
    std::reverse(args.begin(), args.end());
    try {
        app.parse(args);
    } catch (const CLI::ParseError& failure) {
        error = failure.what();
        return false;
    }
    if (settings.bootLoader && familyOfModel(settings.model) != 2) {
        error = "--boot-loader is for models 0 to 4";
        return false;
    }
    return true;
}

}  // namespace korvane::sim
