#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <string>
#include <vector>

#include "ui/qt/about_box.h"

#include <korvane/version.h>
#include "ui/qt/byte_length_validator.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/serial_port_panel.h"

namespace korvane::test {
namespace {

std::vector<std::string> portsNamed(int count) {
    std::vector<std::string> ports;
    for (int i = 0; i < count; ++i) {
        ports.push_back("/dev/ttyUSB" + std::to_string(i));
    }
    return ports;
}

TEST(DialogUnitsTest, ScalesByQuarterWidthAndEighthHeightRounded) {
    const DialogUnits units(6, 13);
    EXPECT_EQ(units.rect(10, 10, 65, 65), QRect(15, 16, 98, 106));
    EXPECT_EQ(units.size(462, 195), QSize(693, 317));
    EXPECT_EQ(units.x(1), 2);  // 1.5 rounds up
    EXPECT_EQ(units.y(0), 0);
}

TEST(DialogUnitsTest, BaseUnitsComeFromTheFont) {
    QFont small("DejaVu Sans");
    small.setPixelSize(10);
    QFont large("DejaVu Sans");
    large.setPixelSize(20);
    const DialogUnits a(small);
    const DialogUnits b(large);
    EXPECT_GT(a.baseWidth(), 0);
    EXPECT_GT(b.baseWidth(), a.baseWidth());
    EXPECT_GT(b.baseHeight(), a.baseHeight());
}

// Refresh keeps the selection by position, not by name.
TEST(SerialPortPanelTest, RefreshRestoresTheSelectionByPosition) {
    struct Case {
        int before;    // ports listed at start
        int selected;  // index chosen by the user (-1: none)
        int after;     // ports found by Refresh
        int expected;  // selection afterwards
    };
    const Case cases[] = {
        {5, 2, 2, 0},  {5, 2, 5, 2}, {3, 2, 3, 2},  {3, 2, 0, -1},
        {0, -1, 4, 0}, {4, 3, 7, 3}, {4, -1, 4, 0},
    };
    const DialogUnits units(6, 13);
    for (const Case& c : cases) {
        int found = c.before;
        QWidget parent;
        SerialPortPanel panel(
            units, [&found] { return portsNamed(found); }, &parent);
        panel.fillPortList(portsNamed(c.before));
        panel.portList()->setCurrentIndex(c.selected);
        found = c.after;
        panel.refreshButton()->click();
        EXPECT_EQ(panel.portList()->count(), c.after);
        EXPECT_EQ(panel.selectedPortIndex(), c.expected)
            << c.before << " ports, index " << c.selected << ", then " << c.after << " ports";
    }
}

TEST(SerialPortPanelTest, RefreshTouchesOnlyItsOwnPortList) {
    const DialogUnits units(6, 13);
    std::vector<std::string> found = {"/dev/ttyS0", "/dev/ttyS0", "/dev/rfcomm1"};
    QWidget parent;
    SerialPortPanel bt(
        units, [&found] { return found; }, &parent);
    SerialPortPanel usb(
        units, [&found] { return found; }, &parent);
    for (SerialPortPanel* panel : {&bt, &usb}) {
        panel->fillPortList(found);
        panel->fillBaudList();
    }
    usb.portList()->setCurrentIndex(2);
    bt.baudList()->setCurrentIndex(9);

    found = {"/dev/ttyACM0"};
    bt.refreshPortList();
    EXPECT_EQ(bt.portList()->count(), 1);
    EXPECT_EQ(bt.selectedPortText(), "/dev/ttyACM0");
    EXPECT_EQ(bt.selectedBaudText(), "1000000");
    // Duplicates from the list are kept as they came.
    ASSERT_EQ(usb.portList()->count(), 3);
    EXPECT_EQ(usb.portList()->itemText(0), usb.portList()->itemText(1));
    EXPECT_EQ(usb.selectedPortText(), "/dev/rfcomm1");
    EXPECT_EQ(usb.selectedBaudText(), "115200");
}

TEST(SerialPortPanelTest, EmptyListHasNoSelection) {
    const DialogUnits units(6, 13);
    QWidget parent;
    SerialPortPanel panel(units, {}, &parent);
    panel.fillPortList({});
    EXPECT_EQ(panel.selectedPortIndex(), -1);
    EXPECT_TRUE(panel.selectedPortText().isEmpty());
    panel.refreshPortList();  // no lister: nothing found
    EXPECT_EQ(panel.selectedPortIndex(), -1);
}

TEST(ByteLengthValidatorTest, CountsUtf8Bytes) {
    const ByteLengthValidator validator(4, nullptr);
    const struct {
        QString text;
        QValidator::State state;
    } cases[] = {
        {"", QValidator::Acceptable},
        {"abcd", QValidator::Acceptable},
        {"abcde", QValidator::Invalid},
        {QString("ab") + QChar(0x00e9), QValidator::Acceptable},        // 4 bytes
        {QString("abc") + QChar(0x00e9), QValidator::Invalid},          // 5 bytes
        {QString(QChar(0x20ac)) + QChar('a'), QValidator::Acceptable},  // 3 + 1 bytes
    };
    for (const auto& c : cases) {
        QString text = c.text;
        int position = 0;
        EXPECT_EQ(validator.validate(text, position), c.state) << text.toStdString();
    }
}

TEST(AboutBoxTest, ShowsNameNoticeAndCloses) {
    AboutBox box(nullptr);
    EXPECT_EQ(box.windowTitle(), "About KorvaneFwUpdater");
    EXPECT_EQ(box.nameLine()->text(), "KorvaneFwUpdater v3.6");
    EXPECT_EQ(box.nameLine()->textFormat(), Qt::PlainText);
    EXPECT_TRUE(box.noticeLine()->text().contains("Korvane"));
    EXPECT_EQ(box.releaseLine()->text(), QStringLiteral("Release ") + kProgramVersion);
    EXPECT_TRUE(box.releaseLine()->geometry().bottom() < box.height());
    EXPECT_TRUE(box.okButton()->isDefault());
    box.show();
    box.okButton()->click();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace korvane::test
