#include "writer_files.h"

namespace korvane::simtest {

sim::GeneratedUpdateFile family2File(std::size_t payloadSize, const std::string& modelName) {
    sim::UpdateFileRecipe recipe;
    recipe.family = 2;
    recipe.payload = sim::samplePayload(payloadSize);
    recipe.productText = "Korvane OBD-II";
    recipe.modelName = modelName;
    recipe.versionText = "V2.2.30";
    return sim::makeUpdateFile(recipe);
}

sim::GeneratedUpdateFile family1File(std::size_t payloadSize, int recordSize) {
    sim::UpdateFileRecipe recipe;
    recipe.family = 1;
    recipe.payload = sim::samplePayload(payloadSize, 7);
    recipe.productText = "Korvane FS";
    recipe.modelName = "Korvane FS v1.0.1";
    recipe.recordSize = recordSize;
    return sim::makeUpdateFile(recipe);
}

std::vector<std::string> sentTexts(const sim::GeneratedUpdateFile& file) {
    std::vector<std::string> texts;
    for (const std::string& command : file.commands) {
        const std::size_t prefix = command.rfind("QXDLDT", 0) == 0 ? 6 : 4;
        texts.push_back(command.substr(prefix, command.size() - prefix - 1));
    }
    return texts;
}

}  // namespace korvane::simtest
