// korvane-make-update: writes a sound or deliberately broken update file.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/standard_streams.h"
#include "sim/update_file_writer.h"

namespace {

using korvane::sim::Defect;
using korvane::sim::LineEnd;

constexpr const char* kUsage =
    "usage: korvane-make-update -o|--out FILE [--family 1|2] [--product TEXT] [--model NAME]\n"
    "                           [--version TEXT] [--payload FILE | --payload-size N [--seed N]]\n"
    "                           [--record-size N] [--line-end crlf|lf|cr] [--defect NAME]\n"
    "                           [--commands] [-h|--help]\n"
    "defects: none bad-checksum bad-byte-total short-file missing-last-line-end odd-line-count\n"
    "         type-03-line records-after-info overlong-line string-overrun\n";

int usageError(const std::string& why) {
    std::cerr << "korvane-make-update: " << why << "\n" << kUsage;
    return 2;
}

bool readNumber(const std::string& text, long& value) {
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value >= 0;
}

bool readPayloadFile(const std::string& path, std::vector<std::uint8_t>& payload) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    std::uint8_t chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        payload.insert(payload.end(), chunk, chunk + n);
    }
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    korvane::guardStandardStreams();
    korvane::sim::UpdateFileRecipe recipe;
    std::string outPath;
    std::string payloadPath;
    long payloadSize = 4096;
    long seed = 1;
    bool printCommands = false;
    bool familyOneNames = false;
    bool modelGiven = false;
    bool productGiven = false;

    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--commands") {
            printCommands = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (i + 1 >= args.size()) {
            return usageError("missing value after " + arg);
        }
        const std::string& value = args[++i];
        long number = 0;
        if (arg == "-o" || arg == "--out") {
            outPath = value;
        } else if (arg == "--family") {
            if (value != "1" && value != "2") {
                return usageError("family must be 1 or 2");
            }
            recipe.family = value == "1" ? 1 : 2;
            familyOneNames = recipe.family == 1;
        } else if (arg == "--product") {
            recipe.productText = value;
            productGiven = true;
        } else if (arg == "--model") {
            recipe.modelName = value;
            modelGiven = true;
        } else if (arg == "--version") {
            recipe.versionText = value;
        } else if (arg == "--payload") {
            payloadPath = value;
        } else if (arg == "--payload-size" && readNumber(value, number)) {
            payloadSize = number;
        } else if (arg == "--seed" && readNumber(value, number)) {
            seed = number;
        } else if (arg == "--record-size" && readNumber(value, number)) {
            recipe.recordSize = static_cast<int>(std::min(number, 1000L));
        } else if (arg == "--line-end") {
            if (value == "crlf") {
                recipe.lineEnd = LineEnd::CrLf;
            } else if (value == "lf") {
                recipe.lineEnd = LineEnd::Lf;
            } else if (value == "cr") {
                recipe.lineEnd = LineEnd::Cr;
            } else {
                return usageError("line end must be crlf, lf or cr");
            }
        } else if (arg == "--defect") {
            if (!korvane::sim::parseDefect(value, recipe.defect)) {
                return usageError("unknown defect " + value);
            }
        } else {
            return usageError("bad option " + arg + " " + value);
        }
    }
    if (outPath.empty()) {
        return usageError("no output file (-o FILE)");
    }
    // Family-1 files name their model differently; give them fitting defaults.
    if (familyOneNames && !modelGiven) {
        recipe.modelName = "Korvane FS v1.0";
    }
    if (familyOneNames && !productGiven) {
        recipe.productText = "Korvane FS";
    }
    if (!payloadPath.empty()) {
        if (!readPayloadFile(payloadPath, recipe.payload)) {
            std::cerr << "korvane-make-update: cannot read " << payloadPath << "\n";
            return 1;
        }
    } else {
        recipe.payload = korvane::sim::samplePayload(static_cast<std::size_t>(payloadSize),
                                                     static_cast<std::uint32_t>(seed));
    }

    const korvane::sim::GeneratedUpdateFile file = korvane::sim::makeUpdateFile(recipe);
    if (!file.ok()) {
        std::cerr << "korvane-make-update: " << file.error << "\n";
        return 1;
    }
    if (!korvane::sim::saveUpdateFile(outPath, file)) {
        std::cerr << "korvane-make-update: cannot write " << outPath << "\n";
        return 1;
    }
    std::cout << "wrote " << outPath << ": family " << recipe.family << ", " << file.lines.size()
              << " lines, " << file.bytes.size() << " bytes, payload " << recipe.payload.size()
              << " bytes, defect " << korvane::sim::defectName(recipe.defect) << "\n";
    if (printCommands) {
        for (const std::string& command : file.commands) {
            std::cout << std::string_view(command).substr(0, command.size() - 1) << "\n";
        }
    }
    return 0;
}
