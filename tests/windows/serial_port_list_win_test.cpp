#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/serial/serial_port.h"
#include "channel/serial/serial_port_list.h"
#include "channel/serial/serial_port_list_win.h"

namespace korvane {
namespace {

using Names = std::vector<std::string>;

// A registry key of its own under HKEY_CURRENT_USER, filled by the test and deleted afterwards.
// Values are added in the order of their names, so that the key enumerates them in that order
// whether the registry keeps insertion order (Windows) or name order (wine).
class ScratchKey {
public:
    ScratchKey() {
        path_ = "Software\\KorvaneFwUpdaterTests\\SerialComm" +
                std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter_);
        RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
    }
    ~ScratchKey() {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    void addText(const std::string& name, const std::string& data) {
        add(name, REG_SZ, data.c_str(), data.size() + 1);
    }
    void add(const std::string& name, DWORD type, const void* data, std::size_t size) {
        ASSERT_EQ(RegSetValueExA(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                 static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
    }
    Names list() const { return listSerialPortsUnderKey(HKEY_CURRENT_USER, path_.c_str()); }

private:
    static inline int counter_ = 0;
    std::string path_;
    HKEY key_ = nullptr;
};

TEST(ReadComNumber, ReadsTheNumberAsPercentDWould) {
    struct Case {
        const char* data;
        bool read;
        int number;
    };
    const Case cases[] = {
        {"COM3", true, 3},      {"COM10", true, 10},   {"COM03", true, 3},
        {"COM256", true, 256},  {"COM257", true, 257}, {"COM0", true, 0},
        {"COM 7", true, 7},     {"COM+8", true, 8},    {"COM-2", true, -2},
        {"COM12abc", true, 12}, {"COM", false, 0},     {"COMx", false, 0},
        {"com5", false, 0},     {"CO5", false, 0},     {" COM5", false, 0},
        {"", false, 0},         {"COM+", false, 0},    {"COM99999999999", false, 0},
    };
    for (const Case& c : cases) {
        int number = -999;
        const std::string data = c.data;
        const bool read =
            readComNumber(reinterpret_cast<const unsigned char*>(data.data()), data.size(), number);
        EXPECT_EQ(read, c.read) << c.data;
        if (c.read) {
            EXPECT_EQ(number, c.number) << c.data;
        }
    }
}

TEST(ReadComNumber, LooksOnlyAtTheBytesGivenAndStopsAtANul) {
    const unsigned char data[] = {'C', 'O', 'M', '1', '2', '3'};
    int number = 0;
    ASSERT_TRUE(readComNumber(data, 4, number));
    EXPECT_EQ(number, 1);
    EXPECT_FALSE(readComNumber(data, 3, number));
    const unsigned char withNul[] = {'C', 'O', 'M', '4', 0, '5'};
    ASSERT_TRUE(readComNumber(withNul, sizeof withNul, number));
    EXPECT_EQ(number, 4);
}

TEST(ListSerialPortsUnderKey, KeepsEnumerationOrderAndDuplicates) {
    ScratchKey key;
    key.addText("\\Device\\Serial0", "COM3");
    key.addText("\\Device\\Serial1", "COM10");
    key.addText("\\Device\\Serial2", "COM1");
    key.addText("\\Device\\Serial3", "COM10");
    EXPECT_EQ(key.list(), (Names{"COM3", "COM10", "COM1", "COM10"}));
}

TEST(ListSerialPortsUnderKey, KeepsComNumbersFrom1To256AndWritesThemWithoutLeadingZeros) {
    ScratchKey key;
    key.addText("a", "COM0");
    key.addText("b", "COM257");
    key.addText("c", "COM03");
    key.addText("d", "com5");
    key.addText("e", "COMx");
    key.addText("f", "");
    key.addText("g", "COM256");
    key.addText("h", "COM-1");
    key.addText("i", "COM 7");
    EXPECT_EQ(key.list(), (Names{"COM3", "COM256", "COM7"}));
}

TEST(ListSerialPortsUnderKey, LooksAtTheDataWhateverItsTypeAndNeedsNoTerminator) {
    ScratchKey key;
    const char binary[] = {'C', 'O', 'M', '4'};  // no NUL
    key.add("binary", REG_BINARY, binary, sizeof binary);
    const DWORD number = 0x354D4F43;  // the bytes "COM5" in memory order
    key.add("dword", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(key.list(), (Names{"COM4", "COM5"}));
}

TEST(ListSerialPortsUnderKey, EnumerationEndsAtTheFirstValueThatDoesNotFitItsBuffers) {
    ScratchKey key;
    key.addText("a", "COM1");
    key.addText("b", "COM2" + std::string(300, ' '));
    key.addText("c", "COM3");
    EXPECT_EQ(key.list(), (Names{"COM1"}));

    ScratchKey longName;
    longName.addText("a", "COM4");
    longName.addText("b" + std::string(300, 'n'), "COM5");
    longName.addText("c", "COM6");
    EXPECT_EQ(longName.list(), (Names{"COM4"}));
}

TEST(ListSerialPortsUnderKey, MissingKeyGivesAnEmptyList) {
    EXPECT_TRUE(listSerialPortsUnderKey(HKEY_CURRENT_USER, "Software\\KorvaneFwUpdaterTests\\None")
                    .empty());
}

TEST(ListSerialPorts, MachineListHoldsOnlyComNamesAndMatchesTheDetails) {
    const Names names = listSerialPorts();
    for (const std::string& name : names) {
        int number = 0;
        EXPECT_TRUE(parseComName(name, number)) << name;
    }
    Names fromDetails;
    for (const SerialPortInfo& info : listSerialPortDetails()) {
        fromDetails.push_back(info.name);
    }
    EXPECT_EQ(fromDetails, names);
}

}  // namespace
}  // namespace korvane
