#pragma once

#include <map>
#include <string>

namespace korvane {

// Text settings of a channel. A missing key reads as the empty text; numbers follow the C atoi
// rule (leading blanks, optional sign, leading digits; no digits give 0).
class ChannelConfig {
public:
    void set(const std::string& key, const std::string& value);
    const std::string& text(const std::string& key) const;
    int number(const std::string& key) const;
    bool has(const std::string& key) const;
    const std::map<std::string, std::string>& entries() const { return values_; }

private:
    std::map<std::string, std::string> values_;
};

}  // namespace korvane
