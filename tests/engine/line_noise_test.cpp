#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine/line_noise.h"

namespace korvane {
namespace {

using namespace std::string_view_literals;

struct NoiseCase {
    std::string_view answer;
    bool noise;
};

TEST(LineNoise, TellsTextFromBytesOfAnotherLineRate) {
    const NoiseCase cases[] = {
        {""sv, false},
        {"ELM327 v2.2\r\r>"sv, false},
        {"OK\r\n>"sv, false},
        {" ~"sv, false},  // both ends of printable text
        {"\x1f"sv, true},
        {"\x7f"sv, true},
        {"\x80"sv, true},
        {"\xff>"sv, true},
        {"OK\t>"sv, true},
        {"OK\0>"sv, true},
        {"\xe0\x1c>\x92"sv, true},  // "ATI" heard at a third of the rate, with a prompt in it
    };
    for (const NoiseCase& c : cases) {
        EXPECT_EQ(isLineNoise(c.answer), c.noise) << testing::PrintToString(std::string(c.answer));
    }
}

}  // namespace
}  // namespace korvane
