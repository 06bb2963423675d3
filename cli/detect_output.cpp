#include "cli/detect_output.h"

#include <nlohmann/json.hpp>
#include <variant>

#include "engine/finding_text.h"

namespace korvane {

namespace {

nlohmann::ordered_json textOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

}  // namespace

std::string findingsJson(std::span<const PortFinding> findings) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const PortFinding& finding : findings) {
        const ProbeFinding& probe = finding.probe;
        const bool found = finding.found();
        nlohmann::ordered_json entry;
        entry["port"] = findingPortName(finding);
        entry["found"] = found;
        // A name that holds ":" has no descriptor; "port" and "baud" name it then.
        const std::string use = findingUse(finding);
        entry["descriptor"] = found && use.rfind("--", 0) != 0 ? nlohmann::ordered_json(use)
                                                               : nlohmann::ordered_json(nullptr);
        const auto* serial = std::get_if<SerialPortRequest>(&finding.request);
        entry["baud"] = found && serial != nullptr ? nlohmann::ordered_json(serial->baud)
                                                   : nlohmann::ordered_json(nullptr);
        entry["mode"] = found ? nlohmann::ordered_json(findingModeText(probe.verdict))
                              : nlohmann::ordered_json(nullptr);
        entry["updatable"] = probe.updatable();
        entry["model"] = textOrNull(probe.modelName);
        entry["device_version"] = textOrNull(probe.deviceVersion);
        entry["adapter_version"] = textOrNull(probe.adapterVersion);
        if (!found) {
            entry["reason"] = finding.reason;
        }
        entry["elapsed_ms"] = finding.elapsedMs;
        list.push_back(std::move(entry));
    }
    return list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace korvane
