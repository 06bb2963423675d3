#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/model_code.h"

namespace korvane {

// Everything the engine knows about each adapter model, one row per model. The flows read these
// rows and name no model themselves: adding a model is adding a row.

// An identity an adapter answers a version query with, and the text after which the version
// digits follow (the echo of the query comes before both).
struct VersionAnswer {
    const char* identity;  // compared over its own length
    const char* versionPrefix;
};

// How the ELM327 version that the adapter reports is set once its new firmware is in.
struct AtiVersionSetting {
    const char* query;         // asks the new firmware for its version
    char letter;               // the version follows the first of these in the answer
    const char* setCommand;    // followed by the version and CR
    const char* confirmation;  // an answer holding it confirms the setting
};

// The ELM327 version this engine knows for adapters that are not family-2 models.
inline constexpr int kDefaultHighestElmVersion = 22;
// The version an adapter is set to at least where its model gives none.
inline constexpr const char* kDefaultLowestAtiVersion = "2.2";
// The digit for a final "X" where the model gives none.
inline constexpr char kDefaultFinalXDigit = '9';

struct ModelRow {
    ModelCode code = kModelUnknown;
    std::uint8_t family = 0;  // of its update files: 2 line download, 1 block download

    // The update file's model name. Family 2: compared whole. Family 1: compared over its first
    // `fileModelMatch` characters; of several rows that match, the longest comparison wins.
    const char* fileModel = nullptr;
    std::size_t fileModelMatch = 0;

    // Family 2, identification: the answer to "QXI\r" begins with one of `identities`.
    const char* identities[3] = {};
    // Family 2, version gate: `versionQuery` is asked; its answer begins with the identity of one
    // of `versionAnswers`, and the firmware version follows that entry's prefix.
    const char* versionQuery = nullptr;
    VersionAnswer versionAnswers[3] = {};
    // An answer to the version query from firmware too old for any update; nullptr: none.
    const char* tooOldIdentity = nullptr;
    // Stands for a final "X" in a version text, the file's and the adapter's.
    char finalXDigit = kDefaultFinalXDigit;
    // Adapters below it first need the intermediate firmware.
    int threshold = 0;
    int highestElmVersion = kDefaultHighestElmVersion;
    // Tells the user to install the intermediate firmware first. nullptr: the model has none, so
    // an adapter below the threshold, or one whose answer lacks the identity, has no upgrade.
    const char* upgradeText = nullptr;

    // Both families, after the download.
    const AtiVersionSetting* atiSetting = nullptr;
    // An adapter reporting a lower ELM327 version is set to this one.
    const char* lowestAtiVersion = kDefaultLowestAtiVersion;

    // Family 1: the answer to "QXVERS\r" begins with `adapterModel`, compared over its first
    // `adapterModelMatch` characters; `downloadCommand` puts the adapter into download mode.
    const char* adapterModel = nullptr;
    std::size_t adapterModelMatch = 0;
    const char* downloadCommand = nullptr;
};

// Every model, in model-code order.
std::span<const ModelRow> modelCatalog();

// The row of `code`, or nullptr when no model has it.
const ModelRow* findModel(int code);
// The row of `code` when it is a family-2 model (identified and gated before the line download),
// else nullptr.
const ModelRow* findLineModel(int code);

// The announcement a family-1 adapter makes at the raised link rate, the same for every model.
extern const char kFastLinkAnnouncement[];

// Index of `name` in the model-name table: the family-2 file model names in code order, then an
// empty entry that ends the table (found by an empty name). Nothing when the name is not there.
// Exact, case-sensitive comparison.
std::optional<ModelCode> lookupModelName(const char* name);

// The model code of a family-1 file from its model name, or kModelUnknown.
ModelCode family1ModelCode(const char* modelName);

// The adapter's family-1 model from its answer to "QXVERS\r", or kModelUnknown.
ModelCode adapterModelFromReply(const char* reply);

}  // namespace korvane
