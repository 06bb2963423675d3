#include "channel/channel_config.h"

#include "channel/atoi_rule.h"

namespace korvane {

void ChannelConfig::set(const std::string& key, const std::string& value) {
    values_[key] = value;
}

const std::string& ChannelConfig::text(const std::string& key) const {
    static const std::string empty;
    auto it = values_.find(key);
    return it == values_.end() ? empty : it->second;
}

int ChannelConfig::number(const std::string& key) const {
    return atoiRule(text(key));
}

bool ChannelConfig::has(const std::string& key) const {
    return values_.count(key) != 0;
}

}  // namespace korvane
