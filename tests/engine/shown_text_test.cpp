// Text from outside the program reaches terminals, reason lines and the window escaped.
#include "engine/shown_text.h"

#include <gtest/gtest.h>

#include "engine/failure_reason.h"
#include "engine/finding_text.h"

namespace korvane {
namespace {

TEST(ShownText, ControlCharactersAndStrayBytesAreEscapedUtf8Stays) {
    struct Case {
        const char* what;
        std::string text;
        std::string shown;
    };
    const Case cases[] = {
        {"plain", "Korvane OBD v2.2", "Korvane OBD v2.2"},
        {"escape sequence", "\x1b[2Jgone", "\\x1B[2Jgone"},
        {"forged line", "V2.2\nFile download finished!", "V2.2\\x0AFile download finished!"},
        {"carriage return, bell, DEL", "\r\x07\x7f", "\\x0D\\x07\\x7F"},
        {"tab", "a\tb", "a\\x09b"},
        {"NUL", std::string("a\0b", 3), "a\\x00b"},
        {"UTF-8 letters", "/home/j\xC3\xBCrgen/\xE2\x82\xAC.hex",
         "/home/j\xC3\xBCrgen/\xE2\x82\xAC.hex"},
        {"Latin-1 byte",
         "\xB0"
         "C",
         "\\xB0C"},
        {"8-bit CSI",
         "\x9B"
         "2J",
         "\\x9B2J"},
        {"CSI written in UTF-8",
         "\xC2\x9B"
         "2J",
         "\\xC2\\x9B2J"},
        {"overlong slash", "\xC0\xAF", "\\xC0\\xAF"},
        {"surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"cut sequence", "\xE2\x82", "\\xE2\\x82"},
        {"backslash stays", "C:\\fw\\x.hex", "C:\\fw\\x.hex"},
    };
    for (const Case& c : cases) {
        const std::string shown = shownText(c.text);
        EXPECT_EQ(shown, c.shown) << c.what;
        EXPECT_EQ(shownText(shown), shown) << c.what << ": escaping twice changes nothing";
        EXPECT_TRUE(isUtf8(shown)) << c.what;
    }
    EXPECT_EQ(shownText("a\tb", true), "a\tb");
}

TEST(ShownText, JsonTextIsUtf8WhateverTheBytes) {
    EXPECT_EQ(asUtf8("j\xC3\xBCrgen"), "j\xC3\xBCrgen");  // UTF-8 stays
    EXPECT_EQ(asUtf8("j\xFCrgen"), "j\xC3\xBCrgen");      // Latin-1 is converted
    EXPECT_EQ(asUtf8("\x1b"), "\x1b");                    // JSON escapes it itself
}

// A path or port name cannot split a reason line or reach the terminal raw.
TEST(ShownText, ReasonLinesStayOneLine) {
    FileFailure missing;
    missing.cause = FileCause::Missing;
    missing.path = "fw\n  forged reason\x1b[2J.hex";
    ChannelFailure port;
    port.open.cause = OpenCause::NoSuchDevice;
    port.open.port = "/dev/tty\rUSB0";
    for (const std::string& reason : {fileFailureReason(missing), portFailureReason(port),
                                      fileTooSmallReason("a\nb", 10, 138)}) {
        EXPECT_EQ(reason.find_first_of("\n\r\x1b"), reason.size() - 2) << reason;
    }
}

// What an adapter calls its versions cannot forge a line of the detect output either.
TEST(ShownText, AFindingsLineStaysOneLine) {
    PortFinding finding;
    finding.request = SerialPortRequest{"/dev/ttyUSB0", 115200};
    finding.probe.verdict = ProbeVerdict::Application;
    finding.probe.modelName = "ZNB5413";
    finding.probe.deviceVersion = "V2.2\ncom|/dev/evil:115200  Azur01";
    finding.probe.adapterVersion = "\x1b]0;title\x07";
    const std::string line = findingLine(finding);
    EXPECT_EQ(line.find_first_of("\n\x1b\x07"), std::string::npos) << line;
    EXPECT_NE(line.find("V2.2\\x0Acom|/dev/evil"), std::string::npos) << line;
}

}  // namespace
}  // namespace korvane
