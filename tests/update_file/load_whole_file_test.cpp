#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/update_file.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

class LoadWholeFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("korvane-load-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    fs::path dir_;
};

TEST_F(LoadWholeFile, LoadsEveryByteWithoutLineEndTranslation) {
    const std::string bytes("AB\r\n\0\x1a\xff\rCD\n", 11);
    std::vector<std::uint8_t> data;
    EXPECT_EQ(loadWholeFile(write("f.hex", bytes), data), 11);
    EXPECT_EQ(std::string(data.begin(), data.end()), bytes);
}

TEST_F(LoadWholeFile, EmptyFileHasSizeZero) {
    std::vector<std::uint8_t> data{1, 2, 3};
    EXPECT_EQ(loadWholeFile(write("empty.hex", ""), data), 0);
    EXPECT_TRUE(data.empty());
}

TEST_F(LoadWholeFile, RefusesWhatCannotBeReadAndHandsNothingOver) {
    const std::string real = write("real.hex", "0011");
    const std::string cases[] = {
        (dir_ / "missing.hex").string(),
        dir_.string(),                 // a directory
        real + std::string("\0x", 2),  // a path that a NUL would cut to another file
    };
    for (const std::string& path : cases) {
        std::vector<std::uint8_t> data{7};
        EXPECT_FALSE(loadWholeFile(path, data).has_value()) << path;
        EXPECT_EQ(data, std::vector<std::uint8_t>{7}) << path;
    }
}

}  // namespace
}  // namespace korvane
