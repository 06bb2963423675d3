#include "channel/serial/serial_port_list.h"
#include "channel/serial/serial_port_watch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "channel_test_support.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// Builds a small system-information tree the way the kernel lays it out.
class FakeSysfs {
public:
    FakeSysfs() : root_(cwd_.path()) {
        fs::create_directories(root_ / "sys/class/tty");
        fs::create_directories(root_ / "dev");
    }
    // A tty whose device lives at `devicePath` (relative to sys/devices); empty: no device.
    void tty(const std::string& name, const std::string& devicePath, const std::string& type = "",
             bool withNode = true) {
        const fs::path dir = root_ / "sys/class/tty" / name;
        fs::create_directories(dir);
        if (!devicePath.empty()) {
            const fs::path device = root_ / "sys/devices" / devicePath;
            fs::create_directories(device);
            fs::create_directory_symlink(device, dir / "device");
        }
        if (!type.empty()) {
            write(dir / "type", type);
        }
        if (withNode) {
            write(root_ / "dev" / name, "");
        }
    }
    void driver(const std::string& devicePath, const std::string& name) {
        const fs::path driver = root_ / "sys/bus/drivers" / name;
        fs::create_directories(driver);
        fs::create_directory_symlink(driver, root_ / "sys/devices" / devicePath / "driver");
    }
    void usbDevice(const std::string& devicePath, const std::string& vendor,
                   const std::string& product, const std::string& productName) {
        const fs::path dir = root_ / "sys/devices" / devicePath;
        fs::create_directories(dir);
        write(dir / "idVendor", vendor + "\n");
        write(dir / "idProduct", product + "\n");
        write(dir / "product", productName + "\n");
        write(dir / "manufacturer", "Maker\n");
    }
    std::vector<SerialPortInfo> list() const {
        return listSerialPortDetailsUnder((root_ / "sys").string(), (root_ / "dev").string());
    }
    std::string node(const std::string& name) const { return (root_ / "dev" / name).string(); }

private:
    static void write(const fs::path& file, const std::string& text) {
        std::ofstream(file) << text;
    }
    test::ScopedTempCwd cwd_;
    fs::path root_;
};

TEST(SerialPortList, ListsRealSerialDevicesByKindThenNumber) {
    FakeSysfs sys;
    sys.tty("tty0", "platform/vtcon");                            // a console: never offered
    sys.tty("ttyS0", "pnp0/00:01/00:01:0/00:01:0.0", "4");        // a real UART
    sys.tty("ttyS1", "platform/serial8250/serial8250:0.1", "0");  // placeholder without UART
    sys.tty("ttyUSB10", "pci0/usb1/1-2/1-2:1.0/ttyUSB10");
    sys.tty("ttyUSB2", "pci0/usb1/1-1/1-1:1.0/ttyUSB2");
    sys.tty("ttyUSB3", "");                                          // no device behind it
    sys.tty("ttyUSB4", "pci0/usb1/1-3/1-3:1.0/ttyUSB4", "", false);  // no device node
    sys.tty("ttyACM0", "pci0/usb1/1-4/1-4:1.0");
    sys.tty("rfcomm0", "");  // bound, not yet connected
    sys.tty("pts0", "");
    sys.tty("ttyUSBx", "pci0/usb1/1-5/1-5:1.0/ttyUSBx");
    std::vector<std::string> names;
    for (const auto& port : sys.list()) {
        names.push_back(port.name);
    }
    const std::vector<std::string> expected = {sys.node("ttyUSB2"), sys.node("ttyUSB10"),
                                               sys.node("ttyACM0"), sys.node("rfcomm0"),
                                               sys.node("ttyS0")};
    EXPECT_EQ(names, expected);
}

TEST(SerialPortList, DescribesUsbAdapters) {
    FakeSysfs sys;
    sys.tty("ttyUSB0", "pci0/usb1/1-1/1-1:1.0/ttyUSB0");
    sys.usbDevice("pci0/usb1/1-1", "0403", "6001", "FT232R USB UART");
    sys.driver("pci0/usb1/1-1/1-1:1.0/ttyUSB0", "ftdi_sio");
    sys.tty("ttyS0", "pnp0/00:01/00:01:0/00:01:0.0", "4");
    sys.driver("pnp0/00:01/00:01:0/00:01:0.0", "port");
    sys.driver("pnp0/00:01", "serial");
    const auto ports = sys.list();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].driver, "ftdi_sio");
    EXPECT_EQ(ports[0].usbVendorId, "0403");
    EXPECT_EQ(ports[0].usbProductId, "6001");
    EXPECT_EQ(ports[0].product, "FT232R USB UART");
    EXPECT_EQ(ports[0].manufacturer, "Maker");
    EXPECT_EQ(ports[0].serialNumber, "");
    EXPECT_EQ(ports[1].driver, "serial");  // the driver above the generic port layer
    EXPECT_EQ(ports[1].usbVendorId, "");
}

TEST(SerialPortList, EmptyWithoutTtyClass) {
    test::ScopedTempCwd cwd;
    EXPECT_TRUE(listSerialPortDetailsUnder(cwd.path() + "/sys", cwd.path() + "/dev").empty());
}

TEST(SerialPortList, MachineListIsConsistent) {
    const auto details = listSerialPortDetails();
    const auto names = listSerialPorts();
    ASSERT_EQ(details.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(details[i].name, names[i]);
        EXPECT_EQ(names[i].rfind("/dev/", 0), 0u) << names[i];
    }
}

// The watch tells a serial device that came, changed or went, and nothing else in the folder.
TEST(SerialPortWatch, TellsSerialDevicesComingAndGoing) {
    const fs::path folder =
        fs::temp_directory_path() / ("korvane-watch-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    {
        SerialPortWatch watch(folder.string());
        ASSERT_GE(watch.fd(), 0);
        EXPECT_FALSE(watch.takeChanges());
        std::ofstream(folder / "video0") << "";
        EXPECT_FALSE(watch.takeChanges());
        std::ofstream(folder / "ttyUSB3") << "";
        EXPECT_TRUE(watch.takeChanges());
        fs::remove(folder / "ttyUSB3");
        EXPECT_TRUE(watch.takeChanges());
        EXPECT_FALSE(watch.takeChanges());
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace korvane
