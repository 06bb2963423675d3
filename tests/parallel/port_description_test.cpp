// korvane-fw ports: what the system knows of each serial port, as text and as JSON.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "cli/port_description.h"

namespace korvane {
namespace {

SerialPortInfo usbPort() {
    SerialPortInfo port;
    port.name = "/dev/ttyUSB0";
    port.driver = "ftdi_sio";
    port.usbVendorId = "0403";
    port.usbProductId = "6001";
    port.manufacturer = "FTDI";
    port.product = "FT232R USB UART";
    port.serialNumber = "A50285BI";
    return port;
}

SerialPortInfo namedPort(const std::string& name, const std::string& driver) {
    SerialPortInfo port;
    port.name = name;
    port.driver = driver;
    return port;
}

TEST(PortDescription, KindAndDescriptionFromWhatIsKnown) {
    SerialPortInfo bare = usbPort();
    bare.manufacturer.clear();
    bare.product.clear();
    bare.serialNumber.clear();
    bare.driver.clear();
    struct Case {
        SerialPortInfo port;
        const char* kind;
        const char* description;
    };
    const Case cases[] = {
        {usbPort(), "usb", "USB 0403:6001 FTDI FT232R USB UART, serial A50285BI, driver ftdi_sio"},
        {bare, "usb", "USB 0403:6001"},
        {namedPort("/dev/rfcomm0", ""), "bluetooth", "Bluetooth rfcomm"},
        {namedPort("COM7", "BTHMODEM"), "bluetooth", "Bluetooth rfcomm, driver BTHMODEM"},
        {namedPort("/dev/ttyS0", "serial8250"), "serial", "driver serial8250"},
        {namedPort("/dev/ttyS1", ""), "serial", ""},
        {namedPort("/dev/ttyACM0", "cdc\x1b[2J"), "serial", "driver cdc\\x1B[2J"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(serialPortKind(c.port), c.kind) << c.port.name;
        EXPECT_EQ(serialPortDescription(c.port), c.description) << c.port.name;
    }
}

TEST(PortDescription, OneLineAPortNamesFirst) {
    const std::vector<SerialPortInfo> ports = {usbPort(), namedPort("/dev/rfcomm12", ""),
                                               namedPort("/dev/ttyS1", "")};
    EXPECT_EQ(serialPortListText(ports),
              "/dev/ttyUSB0   USB 0403:6001 FTDI FT232R USB UART, serial A50285BI, driver "
              "ftdi_sio\n"
              "/dev/rfcomm12  Bluetooth rfcomm\n"
              "/dev/ttyS1\n");
    EXPECT_EQ(serialPortListText({}), "");
}

TEST(PortDescription, JsonArrayWithNullForWhatIsNotKnown) {
    SerialPortInfo odd = namedPort("/dev/ttyS3", "8250");
    odd.product = "bad \xff byte";  // not UTF-8: must not break the document
    const nlohmann::json list =
        nlohmann::json::parse(serialPortListJson({usbPort(), odd, namedPort("/dev/rfcomm0", "")}));
    ASSERT_TRUE(list.is_array());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], nlohmann::json::parse(R"({"name":"/dev/ttyUSB0","kind":"usb",
        "driver":"ftdi_sio","usb_vendor_id":"0403","usb_product_id":"6001","manufacturer":"FTDI",
        "product":"FT232R USB UART","serial_number":"A50285BI"})"));
    EXPECT_EQ(list[1].at("kind"), "serial");
    EXPECT_EQ(list[1].at("product"), "bad \xef\xbf\xbd byte");
    EXPECT_EQ(list[2], nlohmann::json::parse(R"({"name":"/dev/rfcomm0","kind":"bluetooth",
        "driver":null,"usb_vendor_id":null,"usb_product_id":null,"manufacturer":null,
        "product":null,"serial_number":null})"));
    EXPECT_EQ(nlohmann::json::parse(serialPortListJson({})), nlohmann::json::array());
}

// The machine's own ports, whatever they are: the command's two forms agree.
TEST(PortsCommand, TextAndJsonListTheSamePorts) {
    std::ostringstream text;
    std::ostringstream json;
    std::ostringstream err;
    ASSERT_EQ(runCli({"ports"}, text, err), kExitOk);
    ASSERT_EQ(runCli({"ports", "--json"}, json, err), kExitOk);
    const nlohmann::json list = nlohmann::json::parse(json.str());
    ASSERT_TRUE(list.is_array());
    std::istringstream lines(text.str());
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        ASSERT_LT(count, list.size());
        EXPECT_EQ(line.substr(0, line.find(' ')), list[count].at("name")) << line;
    }
    EXPECT_EQ(count, list.size());
    std::ostringstream out;
    EXPECT_EQ(runCli({"ports", "--yaml"}, out, err), kExitUsage);
}

}  // namespace
}  // namespace korvane
