// Naming several ports: ports files, repeated --port, what is refused, how ports are labelled.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "cli/cli.h"
#include "cli/job_options.h"
#include "cli/port_label.h"
#include "cli/ports_file.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

TEST(PortsFile, OneDescriptorALineWithoutBlanksCommentsOrEmptyLines) {
    struct Case {
        const char* text;
        std::vector<std::string> descriptors;
    };
    const Case cases[] = {
        {"", {}},
        {"tcp|127.0.0.1:35000", {"tcp|127.0.0.1:35000"}},
        {"com|/dev/ttyUSB0:115200\ncom|/dev/ttyUSB1:115200\n",
         {"com|/dev/ttyUSB0:115200", "com|/dev/ttyUSB1:115200"}},
        {"  tcp|10.0.0.1:35000 \t\r\n\r\n\n# bench 2\n   # indented comment\ncom|COM3:9600\r\n",
         {"tcp|10.0.0.1:35000", "com|COM3:9600"}},
        {"tcp|a:1 # not a comment here", {"tcp|a:1 # not a comment here"}},
        {"\n\n\n", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parsePortsText(c.text), c.descriptors) << c.text;
    }
}

std::vector<std::string> descriptorsOf(const std::vector<JobPort>& ports) {
    std::vector<std::string> descriptors;
    for (const JobPort& port : ports) {
        descriptors.push_back(port.descriptor);
    }
    return descriptors;
}

class PortsFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("korvane-ports-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string write(const std::string& name, const std::string& text) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    fs::path dir_;
};

// A line without "|" is a serial port's path, ":" included, with an optional rate after a blank.
TEST(PortsFile, ALineWithoutABarIsASerialPortsPath) {
    const std::string byPath = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0";
    struct Case {
        std::string text;
        std::optional<PortRequest> request;  // none: refused
    };
    const Case cases[] = {
        {byPath, SerialPortRequest{byPath, 115200}},
        {byPath + " 38400", SerialPortRequest{byPath, 38400}},
        {byPath + "\t 9600\r\n", SerialPortRequest{byPath, 9600}},
        {"/dev/my port", SerialPortRequest{"/dev/my port", 115200}},
        {byPath + " 49", std::nullopt},
        {"com|" + byPath + ":115200", std::nullopt},  // the descriptor form keeps its rules
    };
    for (const Case& c : cases) {
        std::vector<JobPort> ports;
        std::string error;
        const bool parsed = parsePortsFileText(c.text, ports, error);
        ASSERT_EQ(parsed, c.request.has_value()) << c.text << ": " << error;
        if (parsed) {
            ASSERT_EQ(ports.size(), 1u);
            EXPECT_EQ(ports[0].request, *c.request) << c.text;
        }
    }
}

TEST_F(PortsFileOnDisk, ReadsTheFileAndRefusesWhatItCannotRead) {
    std::vector<JobPort> ports;
    std::string error;
    ASSERT_TRUE(readPortsFile(write("ok.txt", "# tray 1\ntcp|127.0.0.1:1\n"), ports, error));
    ASSERT_EQ(descriptorsOf(ports), std::vector<std::string>{"tcp|127.0.0.1:1"});
    EXPECT_EQ(ports[0].request, PortRequest(TcpPortRequest{"127.0.0.1", 1}));

    EXPECT_FALSE(readPortsFile((dir_ / "missing.txt").string(), ports, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(
        readPortsFile(write("huge.txt", std::string(kMaxPortsFileBytes + 1, '#')), ports, error));
    EXPECT_NE(error.find("larger than"), std::string::npos) << error;

    // What is not a plain list of well-formed descriptors, refused with where it is.
    struct Case {
        std::string path;
        const char* says;
    };
    std::vector<Case> refused = {
        {dir_.string(), "a folder"},
        {write("bom.txt", "\xEF\xBB\xBFtcp|127.0.0.1:1\n"), "byte-order mark"},
        {write("zero-byte.txt", std::string("tcp|127.0.0.1:1\n# x\0y\n", 22)),
         "line 2 holds a NUL"},
        {write("bad.txt", "# tray\n\ntcp|127.0.0.1:1\n  com|/dev/ttyUSB0:115200x\n"),
         "line 4: \"com|/dev/ttyUSB0:115200x\": the baud rate"},
        {write("port.txt", "tcp|127.0.0.1:70000\n"),
         "line 1: \"tcp|127.0.0.1:70000\": the TCP port"},
        {write("kind.txt", "tcp|127.0.0.1:1\r\nusb|x:1\r\n"), "line 2: \"usb|x:1\": the port kind"},
    };
#ifndef _WIN32
    // Refused at once, never waiting for a writer.
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    refused.push_back({fifo, "a named pipe"});
#endif
    for (const Case& c : refused) {
        error.clear();
        ports = {JobPort{"kept", SerialPortRequest{"kept", 9600}}};
        EXPECT_FALSE(readPortsFile(c.path, ports, error)) << c.path;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(descriptorsOf(ports), std::vector<std::string>{"kept"});
    }
}

TEST_F(PortsFileOnDisk, PortsFromOptionsAndFileInOrder) {
    const std::string file = write("ports.txt", "tcp|127.0.0.1:2\n\ntcp|127.0.0.1:3\n");
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> descriptors;
        bool batch;
    };
    const Case cases[] = {
        {{"--port", "tcp|127.0.0.1:1"}, {"tcp|127.0.0.1:1"}, false},
        {{"--tcp", "127.0.0.1:9"}, {"tcp|127.0.0.1:9"}, false},
        {{"--serial", "/dev/ttyUSB0", "--baud", "9600"}, {"com|/dev/ttyUSB0:9600"}, false},
        {{"--port", "tcp|127.0.0.1:1", "--port=com|/dev/ttyUSB0:115200"},
         {"tcp|127.0.0.1:1", "com|/dev/ttyUSB0:115200"},
         true},
        {{"--port", "tcp|127.0.0.1:1", "--ports-file", file, "--port", "tcp|127.0.0.1:4"},
         {"tcp|127.0.0.1:1", "tcp|127.0.0.1:2", "tcp|127.0.0.1:3", "tcp|127.0.0.1:4"},
         true},
        // A ports file means a batch even when it names one adapter.
        {{"--ports-file", write("one.txt", "tcp|127.0.0.1:7\n")}, {"tcp|127.0.0.1:7"}, true},
    };
    for (const Case& c : cases) {
        JobOptions options;
        std::string error;
        ASSERT_TRUE(parseJobOptions(c.args, false, options, error)) << error;
        EXPECT_EQ(descriptorsOf(options.ports), c.descriptors);
        EXPECT_EQ(options.batch, c.batch);
    }
}

TEST_F(PortsFileOnDisk, RefusedPortListsAreUsageErrors) {
    const std::string empty = write("empty.txt", "# nothing yet\n\n");
    const std::string twice = write("twice.txt", "tcp|127.0.0.1:5\ntcp|127.0.0.1:5\n");
    const std::vector<std::vector<std::string>> wrong = {
        {"read", "--port", "tcp|127.0.0.1:5", "--port", "tcp|127.0.0.1:5"},
        {"read", "--port", "tcp|127.0.0.1:5", "--port", "tcp|127.0.0.1:005"},  // same port
        {"read", "--port", "com|/dev/ttyUSB0:9600", "--port", "com|/dev/ttyUSB0:115200"},
        {"read", "--ports-file", twice},
        {"read", "--ports-file", empty},
        {"read", "--ports-file", (dir_ / "missing.txt").string()},
        {"read", "--ports-file"},
        {"read", "--tcp", "--port", "tcp|127.0.0.1:5"},
        {"read", "--port", "tcp|127.0.0.1:5", "--serial", "/dev/ttyS0"},
        {"read", "--ports-file", write("p.txt", "tcp|127.0.0.1:5\n"), "--tcp"},
        {"read", "--progress=yaml", "--port", "tcp|127.0.0.1:5"},
        {"read", "--port", "tcp|127.0.0.1:5x"},
        {"read", "--port", "com|/dev/ttyUSB0"},
        {"read", "--ports-file", write("bad.txt", "tcp|127.0.0.1:5\ncom|x:fast\n")},
        {"update", "--port", "tcp|127.0.0.1:5", "--port", "tcp|127.0.0.1:6"},  // no --file
    };
    for (const auto& args : wrong) {
        std::ostringstream out;
        std::ostringstream err;
        std::string line;
        for (const std::string& arg : args) {
            line += arg + " ";
        }
        EXPECT_EQ(runCli(args, out, err), kExitUsage) << line;
        EXPECT_NE(err.str().find("usage: korvane-fw " + args[0]), std::string::npos) << err.str();
        EXPECT_EQ(out.str(), "");
    }
}

TEST(PortsFile, MoreAdaptersThanOneRunDrivesAreRefused) {
    std::vector<std::string> args;
    for (std::size_t i = 0; i <= kMostAdapters; ++i) {
        args.push_back("--port");
        args.push_back("tcp|127.0.0.1:" + std::to_string(1000 + i));
    }
    JobOptions options;
    std::string error;
    EXPECT_FALSE(parseJobOptions(args, false, options, error));
    args.resize(args.size() - 2);
    JobOptions most;
    EXPECT_TRUE(parseJobOptions(args, false, most, error)) << error;
    EXPECT_EQ(most.ports.size(), kMostAdapters);
}

// "auto" finds the rate or the port first; the default Wi-Fi address is read, never dialled here.
TEST(AutoChoice, BaudAutoAndPortAutoAreReadAndBoundToOnePort) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        bool autoBaud;
        bool autoPort;
    };
    const Case cases[] = {
        {{"--serial", "/dev/ttyUSB0", "--baud", "auto"}, true, true, false},
        {{"--port", "auto"}, true, false, true},
        {{"--serial", "/dev/ttyUSB0", "--baud", "38400"}, true, false, false},
        {{"--port", "auto", "--port", "com|/dev/ttyUSB0:9600"}, false, false, false},
        {{"--tcp", "--baud", "auto"}, false, false, false},
        {{"--port", "com|/dev/ttyUSB0:auto"}, false, false, false},
    };
    for (const Case& c : cases) {
        JobOptions options;
        std::string error;
        EXPECT_EQ(parseJobOptions(c.args, false, options, error), c.ok) << c.args[1] << error;
        if (c.ok) {
            EXPECT_EQ(options.autoBaud, c.autoBaud) << c.args[1];
            EXPECT_EQ(options.autoPort, c.autoPort) << c.args[1];
        }
    }
    PortRequest request;
    std::string error;
    ASSERT_TRUE(parseTcpTarget("", request, error));
    EXPECT_EQ(request, PortRequest(TcpPortRequest{"192.168.0.10", 35000}));
}

TEST(PortLabel, NamesThePortAndKeysTheAdapter) {
    struct Case {
        const char* descriptor;
        const char* label;
        const char* key;
    };
    const Case cases[] = {
        {"com|/dev/ttyUSB0:115200", "/dev/ttyUSB0", "com|/dev/ttyUSB0"},
        {"com|COM3:9600", "COM3", "com|COM3"},
        {"tcp|192.168.0.10:35000", "192.168.0.10:35000", "tcp|192.168.0.10:35000"},
        {"tcp|192.168.0.10:035000", "192.168.0.10:035000", "tcp|192.168.0.10:35000"},
        {"tcp|192.168.0.10:35000|x", "192.168.0.10:35000", "tcp|192.168.0.10:35000"},
    };
    for (const Case& c : cases) {
        JobPort port;
        std::string error;
        ASSERT_TRUE(parseJobPort(c.descriptor, port, error)) << error;
        EXPECT_EQ(port.descriptor, c.descriptor);
        EXPECT_EQ(portLabel(port), c.label);
        EXPECT_EQ(portKey(port.request), c.key);
    }
    // Built from --serial and --tcp: named by the request's own text.
    EXPECT_EQ(jobPortOf(SerialPortRequest{"COM3", 9600}).descriptor, "com|COM3:9600");
    EXPECT_EQ(portLabel(jobPortOf(TcpPortRequest{"10.0.0.1", 35000})), "10.0.0.1:35000");
    // Malformed: refused with the part that is wrong.
    JobPort port;
    std::string error;
    EXPECT_FALSE(parseJobPort("usb|x:1", port, error));
    EXPECT_NE(error.find("the port kind \"usb\""), std::string::npos) << error;
}

}  // namespace
}  // namespace korvane
