// The model catalogue: every adapter model with the facts the identification, the version gate and
// both download flows use.
#include "engine/model_catalog.h"

#include <cstring>

#include "engine/text_match.h"

namespace korvane {

namespace {

// Models 0 and 4 report their firmware to "QXI\r" and take the ELM327 version with "QXVADJ v";
// every other model reports it to "QXVERS\r" and takes it with "QX UCS_ATI ELM327 v".
constexpr AtiVersionSetting kSetWithVadj = {"QXI\r", 'v', "QXVADJ v", "ELM327"};
constexpr AtiVersionSetting kSetWithUcsAti = {"QXVERS\r", 'V', "QX UCS_ATI ELM327 v", "OK"};

constexpr ModelRow kModels[] = {
    {
        .code = kModelAzur03,
        .family = 2,
        .fileModel = "Azur03",
        .fileModelMatch = 0,
        .identities = {"AzurPro v"},
        .versionQuery = "QXVERS\r",
        .versionAnswers = {{"AzurXX V", "AzurXX V"}},
        .tooOldIdentity = "Azur V3",
        .finalXDigit = '5',
        .threshold = 4005,
        .highestElmVersion = 23,
        .upgradeText = "Please upgrade to version aZurPro_V4.0.0X first!\r\n",
        .atiSetting = &kSetWithVadj,
        .lowestAtiVersion = "2.2",
    },
    {
        .code = kModelZnb5413,
        .family = 2,
        .fileModel = "ZNB5413",
        .fileModelMatch = 0,
        .identities = {"Q_Rove01", "Korvane MC", "Korvane-MC"},
        .versionQuery = "QXI\r",
        .versionAnswers = {{"Q_Rove01", "Q_Rove01 v"},
                           {"Korvane MC", "Korvane MC v"},
                           {"Korvane-MC", "Korvane-MC v"}},
        .finalXDigit = '9',
        .threshold = 2229,
        .highestElmVersion = 22,
        .upgradeText = "Please upgrade to version Korvane_MC_V2.2.2X first!\r\n",
        .atiSetting = &kSetWithUcsAti,
        .lowestAtiVersion = "2.2",
    },
    {
        .code = kModelZnb5411,
        .family = 2,
        .fileModel = "ZNB5411",
        .fileModelMatch = 0,
        .identities = {"Korvane BM"},
        .versionQuery = "QXI\r",
        .versionAnswers = {{"Korvane BM", "Korvane BM v"}},
        .finalXDigit = '9',
        .threshold = 2229,
        .highestElmVersion = 22,
        .upgradeText = "Please upgrade to version Korvane_BM_V2.2.2X first!\r\n",
        .atiSetting = &kSetWithUcsAti,
        .lowestAtiVersion = "2.2",
    },
    {
        .code = kModelZnb5412,
        .family = 2,
        .fileModel = "ZNB5412",
        .fileModelMatch = 0,
        .identities = {"Korvane FD"},
        .versionQuery = "QXI\r",
        .versionAnswers = {{"Korvane FD", "Korvane FD v"}},
        .finalXDigit = '9',
        .threshold = 2229,
        .highestElmVersion = 22,
        .upgradeText = "Please upgrade to version Korvane_FD_V2.2.2X first!\r\n",
        .atiSetting = &kSetWithUcsAti,
        .lowestAtiVersion = "2.2",
    },
    {
        .code = kModelAzur01,
        .family = 2,
        .fileModel = "Azur01",
        .fileModelMatch = 0,
        .identities = {"Azur01 v"},
        .versionQuery = "QXVERS\r",
        .versionAnswers = {{"AzurXX V", "AzurXX V"}},
        .finalXDigit = '5',
        .threshold = 4005,
        .highestElmVersion = 22,
        .upgradeText = nullptr,
        .atiSetting = &kSetWithVadj,
        .lowestAtiVersion = "2.1",
    },
    {
        .code = kModelZnb540,
        .family = 1,
        // Any file model name that begins like this one's counts, "Korvane FS BT" excepted (the
        // longer comparison of model 6 wins).
        .fileModel = "Korvane FS v",
        .fileModelMatch = 6,
        .atiSetting = &kSetWithUcsAti,
        .lowestAtiVersion = "2.2",
        .adapterModel = "ZNB540",
        .adapterModelMatch = 6,
        .downloadCommand = "QXDLZNB540\r",
    },
    {
        .code = kModelZnb6730,
        .family = 1,
        .fileModel = "Korvane FS BT",
        .fileModelMatch = 13,
        .atiSetting = &kSetWithUcsAti,
        .lowestAtiVersion = "2.2",
        // Compared over six characters, as the other family-1 model's name is: both names are
        // told apart by one comparison length, so any answer beginning "ZNB673" is this model.
        .adapterModel = "ZNB6730",
        .adapterModelMatch = 6,
        .downloadCommand = "QXDLZNB6730\r",
    },
};

}  // namespace

const char kFastLinkAnnouncement[] = "ZNB540 Update";

std::span<const ModelRow> modelCatalog() {
    return kModels;
}

const ModelRow* findModel(int code) {
    for (const ModelRow& row : kModels) {
        if (row.code == code) {
            return &row;
        }
    }
    return nullptr;
}

const ModelRow* findLineModel(int code) {
    const ModelRow* row = findModel(code);
    return row != nullptr && row->family == 2 ? row : nullptr;
}

std::optional<ModelCode> lookupModelName(const char* name) {
    if (name == nullptr) {
        return std::nullopt;
    }
    ModelCode index = 0;
    for (const ModelRow& row : kModels) {
        if (row.family != 2) {
            continue;
        }
        if (std::strcmp(name, row.fileModel) == 0) {
            return index;
        }
        ++index;
    }
    // The empty entry that ends the table.
    if (name[0] == '\0') {
        return index;
    }
    return std::nullopt;
}

ModelCode family1ModelCode(const char* modelName) {
    const char* name = modelName != nullptr ? modelName : "";
    const ModelRow* best = nullptr;
    for (const ModelRow& row : kModels) {
        if (row.family == 1 && beginsWith(name, row.fileModel, row.fileModelMatch) &&
            (best == nullptr || row.fileModelMatch > best->fileModelMatch)) {
            best = &row;
        }
    }
    return best != nullptr ? best->code : kModelUnknown;
}

ModelCode adapterModelFromReply(const char* reply) {
    for (const ModelRow& row : kModels) {
        if (row.adapterModel != nullptr &&
            beginsWith(reply, row.adapterModel, row.adapterModelMatch)) {
            return row.code;
        }
    }
    return kModelUnknown;
}

}  // namespace korvane
