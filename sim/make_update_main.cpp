// korvane-make-update: writes a sound or deliberately broken update file.
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "platform/standard_streams.h"
#include "sim/update_file_writer.h"

namespace {

using korvane::sim::Defect;
using korvane::sim::LineEnd;

constexpr int kUsageStatus = 2;
// More than any update file may hold; the bound keeps a mistyped size from taking all memory.
constexpr std::size_t kMostPayloadBytes = std::size_t{256} << 20;

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

std::string defectList() {
    std::string list;
    for (const Defect defect : korvane::sim::allDefects()) {
        list += list.empty() ? "" : " ";
        list += korvane::sim::defectName(defect);
    }
    return list;
}

// Every option the program takes, read into one recipe.
struct Options {
    korvane::sim::UpdateFileRecipe recipe;
    std::string outPath;
    std::string payloadPath;
    std::size_t payloadSize = 4096;
    std::uint32_t seed = 1;
    bool printCommands = false;
};

void addOptions(CLI::App& app, Options& options) {
    auto& recipe = options.recipe;
    app.add_option("-o,--out", options.outPath, "where to write the file")
        ->required()
        ->type_name("FILE");
    app.add_option("--family", recipe.family, "2 (line pairs, the default) or 1 (records)")
        ->check(CLI::IsMember({1, 2}).description(""))
        ->type_name("1|2");
    app.add_option("--product", recipe.productText, "the product text of the information record");
    app.add_option("--model", recipe.modelName, "the model name the file is meant for");
    app.add_option("--version", recipe.versionText, "the family-2 file's firmware version text");
    const auto payload =
        app.add_option("--payload", options.payloadPath, "take the firmware bytes from this file")
            ->type_name("FILE");
    const auto size = app.add_option("--payload-size", options.payloadSize,
                                     "make N bytes of firmware from a seeded sequence")
                          ->check(CLI::Range(std::size_t{0}, kMostPayloadBytes).description(""))
                          ->type_name("N");
    const auto seed =
        app.add_option("--seed", options.seed, "the seed of that sequence")->type_name("N");
    payload->excludes(size)->excludes(seed);
    app.add_option("--record-size", recipe.recordSize, "family 1: data bytes per record, 1 to 130")
        ->type_name("N");
    const std::map<std::string, LineEnd> lineEnds{
        {"crlf", LineEnd::CrLf}, {"lf", LineEnd::Lf}, {"cr", LineEnd::Cr}};
    app.add_option("--line-end", recipe.lineEnd, "the line end written")
        ->transform(CLI::CheckedTransformer(lineEnds).description(""))
        ->type_name("crlf|lf|cr");
    app.add_option_function<std::string>(
           "--defect",
           [&recipe](const std::string& name) {
               if (!korvane::sim::parseDefect(name, recipe.defect)) {
                   throw CLI::ValidationError("--defect", "unknown defect " + name);
               }
           },
           "write the file with one fault: " + defectList())
        ->type_name("NAME");
    app.add_flag("--commands", options.printCommands,
                 "also print the download commands the updater sends for this file");
}

}  // namespace

int main(int argc, char** argv) {
    korvane::guardStandardStreams();
    CLI::App app("Writes a sound or deliberately broken update file.", "korvane-make-update");
    Options options;
    addOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& failure) {
        std::cerr << "korvane-make-update: " << failure.what() << "\n"
                  << "run korvane-make-update --help for the options\n";
        return kUsageStatus;
    }

    korvane::sim::UpdateFileRecipe& recipe = options.recipe;
    // Family-1 files name their model differently; give them fitting defaults.
    if (recipe.family == 1 && app.count("--model") == 0) {
        recipe.modelName = "Korvane FS v1.0";
    }
    if (recipe.family == 1 && app.count("--product") == 0) {
        recipe.productText = "Korvane FS";
    }
    if (!options.payloadPath.empty()) {
        if (!readPayloadFile(options.payloadPath, recipe.payload)) {
            std::cerr << "korvane-make-update: cannot read " << options.payloadPath << "\n";
            return 1;
        }
    } else {
        recipe.payload = korvane::sim::samplePayload(options.payloadSize, options.seed);
    }

    const korvane::sim::GeneratedUpdateFile file = korvane::sim::makeUpdateFile(recipe);
    if (!file.ok()) {
        std::cerr << "korvane-make-update: " << file.error << "\n";
        return 1;
    }
    if (!korvane::sim::saveUpdateFile(options.outPath, file)) {
        std::cerr << "korvane-make-update: cannot write " << options.outPath << "\n";
        return 1;
    }
    std::cout << "wrote " << options.outPath << ": family " << recipe.family << ", "
              << file.lines.size() << " lines, " << file.bytes.size() << " bytes, payload "
              << recipe.payload.size() << " bytes, defect "
              << korvane::sim::defectName(recipe.defect) << "\n";
    if (options.printCommands) {
        for (const std::string& command : file.commands) {
            std::cout << std::string_view(command).substr(0, command.size() - 1) << "\n";
        }
    }
    return 0;
}
