#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "channel/serial/serial_port.h"
#include "channel/serial/serial_settings_win.h"

namespace korvane {
namespace {

TEST(SerialDevicePath, NumberedComNamesGoThroughTheDeviceNamespace) {
    struct Case {
        const char* name;
        const char* path;
    };
    const Case cases[] = {
        {"COM1", "\\\\.\\COM1"},
        {"COM3", "\\\\.\\COM3"},
        {"COM10", "\\\\.\\COM10"},
        {"COM256", "\\\\.\\COM256"},
        // Everything else is opened as given.
        {"com3", "com3"},
        {"COM03", "COM03"},
        {"COM0", "COM0"},
        {"COM257", "COM257"},
        {"COM3 ", "COM3 "},
        {"\\\\.\\COM12", "\\\\.\\COM12"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(serialDevicePath(c.name), c.path) << c.name;
    }
}

TEST(SerialLinkSettings, TimeoutsReturnReadsAtOnceAndLeaveWritesUnbounded) {
    const COMMTIMEOUTS timeouts = serialLinkTimeouts();
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
}

TEST(SerialLinkSettings, EveryListedFieldIsSetWhateverTheDriverHadThere) {
    // Start from a state full of ones, as a driver with every option on might report it.
    DCB dcb;
    std::memset(&dcb, 0xFF, sizeof dcb);
    dcb.DCBlength = 0;
    applySerialLinkSettings(dcb, 2000000);

    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 2000000u);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 0u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 0u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fAbortOnError, 0u);
    EXPECT_EQ(dcb.fDummy2, 0u);
    EXPECT_EQ(dcb.wReserved, 0);
    EXPECT_EQ(dcb.XonLim, 2048);
    EXPECT_EQ(dcb.XoffLim, 512);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(static_cast<unsigned char>(dcb.XonChar), 0x17);
    EXPECT_EQ(static_cast<unsigned char>(dcb.XoffChar), 0x19);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_EQ(dcb.wReserved1, 0);
}

TEST(SerialLinkSettings, OpeningAPortThatDoesNotExistFails) {
    EXPECT_EQ(openSerialPort("COM199", 115200), nullptr);
    EXPECT_EQ(openSerialPort("\\\\.\\NoSuchDevice", 115200), nullptr);
    EXPECT_EQ(openSerialPort("", 115200), nullptr);
}

}  // namespace
}  // namespace korvane
