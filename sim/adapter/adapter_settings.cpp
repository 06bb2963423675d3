#include "sim/adapter/adapter_settings.h"

#include <algorithm>

namespace korvane::sim {

int familyOfModel(int model) {
    if (model >= kModelAzur03 && model <= kModelAzur01) {
        return 2;
    }
    if (model == kModelZnb540 || model == kModelZnb6730) {
        return 1;
    }
    return 0;
}

bool CommandSelection::contains(int commandNumber) const {
    return all || std::find(numbers.begin(), numbers.end(), commandNumber) != numbers.end();
}

std::string defaultFirmwareVersion(int model) {
    switch (model) {
        case kModelAzur03:
        case kModelAzur01:
            return "4.0.05";
        case kModelZnb5413:
        case kModelZnb5411:
        case kModelZnb5412:
            return "2.2.29";
        default:
            return "1.0.0";
    }
}

std::string defaultIdentityPrefix(int model) {
    switch (model) {
        case kModelAzur03:
            return "AzurPro v";
        case kModelZnb5413:
            return "Korvane MC v";
        case kModelZnb5411:
            return "Korvane BM v";
        case kModelZnb5412:
            return "Korvane FD v";
        case kModelAzur01:
            return "Azur01 v";
        case kModelZnb540:
            return "ZNB540 v";
        case kModelZnb6730:
            return "ZNB6730 v";
        default:
            return "?";
    }
}

}  // namespace korvane::sim
