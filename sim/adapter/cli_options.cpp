#include "sim/adapter/cli_options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <vector>

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
           "  --baud N                 the adapter's rate at power-on (default 115200)\n"
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
           "Exit status: 0 the last update completed, 1 it did not, 3 no update was started,\n"
           "2 bad arguments or the link could not be set up.\n";
}

bool parseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string& error) {
    AdapterSettings& settings = options.settings;
    FaultPlan& faults = settings.faults;
    for (int i = 0; i < argc; ++i) {
        const std::string flag = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = flag + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto number = [&](int low, int high, int& out) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            if (!parseInt(text, low, high, out)) {
                error = "bad number for " + flag + ": " + text;
                return false;
            }
            return true;
        };
        auto countAt = [&](std::vector<CountAt>& list) {
            std::string text;
            CountAt parsed;
            if (!value(text)) {
                return false;
            }
            if (!parseCountAt(text, parsed)) {
                error = flag + " wants AT:COUNT, got " + text;
                return false;
            }
            list.push_back(parsed);
            return true;
        };

        std::string text;
        bool ok = true;
        if (flag == "--help" || flag == "-h") {
            options.help = true;
        } else if (flag == "--tcp") {
            ok = value(text);
            options.server.link = ServerOptions::Link::Tcp;
            if (ok && !parseTcpAddress(text, options.server)) {
                error = "--tcp wants ADDR:PORT, got " + text;
                ok = false;
            }
        } else if (flag == "--pty") {
            options.server.link = ServerOptions::Link::Pty;
        } else if (flag == "--model") {
            ok = number(0, 6, settings.model);
        } else if (flag == "--boot-loader") {
            settings.bootLoader = true;
        } else if (flag == "--echo") {
            settings.echo = true;
        } else if (flag == "--elm-version") {
            ok = value(settings.elmVersion);
        } else if (flag == "--firmware-version") {
            ok = value(settings.firmwareVersion);
        } else if (flag == "--short-version") {
            ok = value(settings.shortVersion);
        } else if (flag == "--firmware-version-after") {
            ok = value(settings.firmwareVersionAfterUpdate);
        } else if (flag == "--short-version-after") {
            ok = value(settings.shortVersionAfterUpdate);
        } else if (flag == "--identity") {
            ok = value(settings.identityPrefix);
        } else if (flag == "--product") {
            ok = value(settings.productText);
        } else if (flag == "--version-without-model") {
            settings.versionNamesModel = false;
        } else if (flag == "--baud") {
            ok = number(1, INT_MAX, settings.baud);
        } else if (flag == "--wire-time") {
            settings.wireTime = true;
        } else if (flag == "--image-out") {
            ok = value(options.server.imageOut);
        } else if (flag == "--image-format") {
            ok = value(text);
            if (ok && text == "lines") {
                options.server.imageFormat = ImageFormat::Lines;
            } else if (ok && text == "payload") {
                options.server.imageFormat = ImageFormat::Payload;
            } else if (ok) {
                error = "--image-format wants lines or payload, got " + text;
                ok = false;
            }
        } else if (flag == "--trace") {
            options.trace = true;
        } else if (flag == "--rep-pack") {
            ok = countAt(faults.repPack);
        } else if (flag == "--rep-block") {
            ok = countAt(faults.repBlock);
        } else if (flag == "--err02") {
            ok = countAt(faults.err02);
        } else if (flag == "--finish-failures") {
            ok = number(0, INT_MAX, faults.finishFailures);
        } else if (flag == "--silent-after") {
            ok = number(1, INT_MAX, faults.silentAfterCommand);
        } else if (flag == "--noise") {
            ok = value(text);
            if (ok) {
                const std::size_t colon = text.find(':');
                const std::string count = text.substr(0, colon);
                ok = parseInt(count, 1, 4096, faults.noiseBytes);
                if (ok && colon != std::string::npos) {
                    ok = parseSelection(text.substr(colon + 1), faults.noiseAt);
                } else {
                    faults.noiseAt.all = true;
                }
                if (!ok) {
                    error = "--noise wants N[:all|K,K...], got " + text;
                }
            }
        } else if (flag == "--nul") {
            ok = value(text);
            if (ok && !parseSelection(text, faults.nulAt)) {
                error = "--nul wants all or K,K..., got " + text;
                ok = false;
            }
        } else if (flag == "--flood-at") {
            ok = number(1, INT_MAX, faults.floodAtCommand);
        } else if (flag == "--drop-at-line") {
            ok = number(1, INT_MAX, faults.dropAtLine);
        } else if (flag == "--refuse-baud") {
            faults.refuseBaudSwitch = true;
        } else if (flag == "--line-delay") {
            ok = number(0, 600000, faults.lineDelayMs);
        } else {
            error = "unknown argument: " + flag;
            ok = false;
        }
        if (!ok) {
            return false;
        }
    }
    if (settings.bootLoader && familyOfModel(settings.model) != 2) {
        error = "--boot-loader is for models 0 to 4";
        return false;
    }
    return true;
}

}  // namespace korvane::sim
