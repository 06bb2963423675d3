// korvane-fw check FILE: loads and checks an update file exactly as an update does, and shows
// what it holds. The file's own texts and the path are shown escaped (shownText): a file cannot
// forge a line of this output or reach the terminal with control characters.
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "engine/download_preflight.h"
#include "engine/failure_reason.h"
#include "engine/model_catalog.h"
#include "engine/prepared_update_file.h"
#include "engine/shown_text.h"
#include "engine/update_file.h"
#include "engine/update_job.h"

namespace korvane {

namespace {

void printModel(std::ostream& out, const UpdateFile& file, int code) {
    out << "Model:        " << shownText(file.modelName) << " (model code " << code;
    if (code == 255 || code < 0) {
        out << ", not recognised";
    }
    out << ")\n";
}

void printFields(std::ostream& out, const std::string& path, const UpdateFile& file,
                 std::int32_t size, int code) {
    out << "File:         " << shownText(path) << "\n";
    out << "Size:         " << size << " bytes\n";
    out << "Family:       " << static_cast<int>(file.family)
        << (file.family == 1 ? " (block download)\n" : " (line download)\n");
    out << "Product:      " << shownText(file.productText) << "\n";
    printModel(out, file, code);
    if (file.family == 2) {
        out << "Version:      " << shownText(file.versionText) << "\n";
        out << "File version: " << file.fileVersion << "\n";
    }
    out << "Lines:        " << file.lineCount << "\n";
}

}  // namespace

int runCheckCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    const std::unique_ptr<CLI::App> app = makeCommandApp("check");
    std::string path;
    app->add_option("FILE", path, "The update file to check")->required()->type_name("");
    app->footer(
        "\nLoads and checks the file exactly as an update does, without touching an adapter, and "
        "shows its family, product, model, version and line count.\n\nExit status: 0 when an "
        "update would take the file, 1 when it would refuse it (the reason follows the failure "
        "text), 2 on a usage error.");
    const ParsedLine parsed = parseCommandLine(*app, args);
    if (parsed.kind != ParsedLine::Kind::Go) {
        return finishCommandLine(parsed, "check", out, err);
    }
    if (path.empty()) {
        return usageError("check", "FILE is empty", err);
    }
    // An update refuses a path that does not fit its slot, so the check does too.
    if (path.size() > UpdateJob::kMaxPathLength) {
        printReportText(out, kFileInvalidText);
        printReportText(out, pathTooLongReason(path.size(), UpdateJob::kMaxPathLength).c_str());
        return kExitFailed;
    }
    // Loaded and checked as an update does it, up to the line it could not send.
    const PreparedUpdateFile prepared = prepareUpdateFile(path);
    if (!prepared.sound()) {
        printReportText(out, prepared.failureText.c_str());
        printReportText(out, prepared.reasonLine.c_str());
        return kExitFailed;
    }
    const UpdateFile& file = *prepared.file;
    const std::int32_t size = file.size;
    if (hasUnsentLastLine(file)) {
        err << "korvane-fw check: warning: the file has an odd number of lines; an update never "
               "sends its last line\n";
    }
    if (file.family == 1) {
        printFields(out, path, file, size, family1ModelCode(file.modelName));
        return kExitOk;
    }
    // The line download refuses a model outside the model-name table as a format error; its code
    // is shown as -1.
    const std::optional<ModelCode> code = lookupModelName(file.modelName);
    printFields(out, path, file, size, code ? int{*code} : -1);
    if (!code) {
        printReportText(out, kFormatErrorText);
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace korvane
