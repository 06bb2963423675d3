#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/model_catalog.h"
#include "engine/update_file.h"

namespace korvane {
namespace {

// What each model is known by, written out once more: a fact mistyped in the catalogue shows here
// as well as in the flows' tests, and every matcher must lead from the model's own texts back to
// its row.
struct Expected {
    ModelCode code;
    int family;
    const char* fileModel;
    int threshold;
    char finalXDigit;
    int highestElmVersion;
    const char* lowestAtiVersion;
    const char* setCommand;
    const char* downloadCommand;  // family 1 only
};

const Expected kExpected[] = {
    {kModelAzur03, 2, "Azur03", 4005, '5', 23, "2.2", "QXVADJ v", nullptr},
    {kModelZnb5413, 2, "ZNB5413", 2229, '9', 22, "2.2", "QX UCS_ATI ELM327 v", nullptr},
    {kModelZnb5411, 2, "ZNB5411", 2229, '9', 22, "2.2", "QX UCS_ATI ELM327 v", nullptr},
    {kModelZnb5412, 2, "ZNB5412", 2229, '9', 22, "2.2", "QX UCS_ATI ELM327 v", nullptr},
    {kModelAzur01, 2, "Azur01", 4005, '5', 22, "2.1", "QXVADJ v", nullptr},
    {kModelZnb540, 1, "Korvane FS v", 0, '9', 22, "2.2", "QX UCS_ATI ELM327 v", "QXDLZNB540\r"},
    {kModelZnb6730, 1, "Korvane FS BT", 0, '9', 22, "2.2", "QX UCS_ATI ELM327 v", "QXDLZNB6730\r"},
};

bool endsWithCr(const char* text) {
    return text != nullptr && std::strlen(text) > 0 && text[std::strlen(text) - 1] == '\r';
}

TEST(ModelCatalog, EveryRowHoldsItsFactsAndEveryMatcherLeadsBackToIt) {
    ASSERT_EQ(modelCatalog().size(), std::size(kExpected));
    for (std::size_t i = 0; i < std::size(kExpected); ++i) {
        const Expected& want = kExpected[i];
        const ModelRow& row = modelCatalog()[i];
        SCOPED_TRACE(want.fileModel);

        EXPECT_EQ(row.code, want.code) << "rows are in model-code order";
        EXPECT_EQ(findModel(want.code), &row);
        EXPECT_EQ(row.family, want.family);
        EXPECT_STREQ(row.fileModel, want.fileModel);
        EXPECT_EQ(row.threshold, want.threshold);
        EXPECT_EQ(row.finalXDigit, want.finalXDigit);
        EXPECT_EQ(row.highestElmVersion, want.highestElmVersion);
        EXPECT_STREQ(row.lowestAtiVersion, want.lowestAtiVersion);
        ASSERT_NE(row.atiSetting, nullptr);
        EXPECT_STREQ(row.atiSetting->setCommand, want.setCommand);
        EXPECT_TRUE(endsWithCr(row.atiSetting->query));

        if (want.family == 2) {
            EXPECT_EQ(findLineModel(want.code), &row);
            EXPECT_EQ(lookupModelName(want.fileModel), want.code);
            EXPECT_EQ(family1ModelCode(want.fileModel), kModelUnknown);
            // The file's version digit for a final "X" is the model's.
            EXPECT_EQ(deriveFileVersion("V4.0.0X", want.code), 4000 + (want.finalXDigit - '0'));
            // Identification and gate: an identity on every row, each version prefix extends
            // the identity it goes with, and the query ends with CR.
            EXPECT_NE(row.identities[0], nullptr);
            EXPECT_TRUE(endsWithCr(row.versionQuery));
            ASSERT_NE(row.versionAnswers[0].identity, nullptr);
            for (const VersionAnswer& answer : row.versionAnswers) {
                if (answer.identity != nullptr) {
                    EXPECT_EQ(std::string(answer.versionPrefix).rfind(answer.identity, 0), 0u)
                        << answer.versionPrefix;
                }
            }
            EXPECT_EQ(row.downloadCommand, nullptr);
            EXPECT_EQ(row.adapterModel, nullptr);
        } else {
            EXPECT_EQ(findLineModel(want.code), nullptr) << "never identified or gated";
            EXPECT_EQ(lookupModelName(want.fileModel), std::nullopt);
            EXPECT_EQ(family1ModelCode(want.fileModel), want.code);
            // A file model name is matched over the row's first characters only.
            const std::string head(want.fileModel, row.fileModelMatch);
            EXPECT_EQ(family1ModelCode((head + "?").c_str()), want.code);
            EXPECT_STREQ(row.downloadCommand, want.downloadCommand);
            // The adapter's answer to "QXVERS" is matched over its first characters: a different
            // character after them is still this model.
            ASSERT_NE(row.adapterModel, nullptr);
            EXPECT_EQ(adapterModelFromReply(row.adapterModel), want.code);
            const std::string answer =
                std::string(row.adapterModel, row.adapterModelMatch) + "9 V1.0";
            EXPECT_EQ(adapterModelFromReply(answer.c_str()), want.code);
        }
    }
    EXPECT_EQ(findModel(7), nullptr);
    EXPECT_EQ(findModel(kModelUnknown), nullptr);
    // An empty file model name finds the table's end entry, after the family-2 models.
    EXPECT_EQ(lookupModelName(""), 5);
}

}  // namespace
}  // namespace korvane
