// korvane-fw update / read / ports as a user runs them: the real program against the emulated
// adapter, with its output, progress and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/program_run.h"
#include "tests/e2e/silent_listener.h"

namespace korvane::e2e {
namespace {

using test::Output;
using test::runProgram;
using Finished = test::ProgramResult;
using Program = test::ProgramRun;

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The descriptor's "tcp|ADDR:PORT" as --tcp's ADDR:PORT.
std::string tcpTarget(const std::string& descriptor) {
    return descriptor.substr(4);
}

TEST(Cli, UpdateOverTcp) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelZnb5411;
    EmulatedLink adapter(settings, Link::Tcp);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5411, 1024));

    const Finished run =
        runProgram({"update", "--tcp", tcpTarget(adapter.descriptor()), "--file", update.path});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out,
              "Port is opened!\ndevice version:V2.2\nDevice connection ok!\ndevice version:V2.2\n"
              "File download finished!\n");
    // Not a terminal: one plain line per change of the progress.
    EXPECT_EQ(run.err.rfind("progress 1%\nprogress 2%\nprogress 3%\n", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("progress 99%\nprogress 100%\n"), std::string::npos) << run.err;
    EXPECT_EQ(imagePayload(adapter.server().image()), update.file.image);
}

TEST(Cli, UpdateOverAPtyAndReadBack) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelAzur01;
    EmulatedLink adapter(settings, Link::Pty);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelAzur01, 1024));
    const std::string pty = adapter.server().ptyPath();

    const Finished run =
        runProgram({"update", "--serial", pty, "--file", update.path, "--progress=none"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("File download finished!\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(imagePayload(adapter.server().image()), update.file.image);

    const Finished read = runProgram({"read", "--port", "com|" + pty + ":115200"});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out,
              "Port is opened!\ndevice version:AzurXX V4.0.05\nAdapter version:Azur01 v2.2\n");
}

TEST(Cli, FailuresExitWithOne) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelZnb5412;
    EmulatedLink adapter(settings, Link::Tcp);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5411, 256));

    const Finished refused =
        runProgram({"update", "--port", adapter.descriptor(), "--file", update.path});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("does not match the device model!\n"), std::string::npos);
    EXPECT_EQ(refused.out.find("File download finished!"), std::string::npos);

    // Nothing listens on port 1 of the loopback address.
    const Finished unreachable = runProgram({"read", "--tcp", "127.0.0.1:1"});
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_TRUE(
        unreachable.out.starts_with("**Failed** Port connection error!\n  127.0.0.1:1: "
                                    "connection refused"))
        << unreachable.out;

    const Finished missingFile =
        runProgram({"update", "--port", adapter.descriptor(), "--file", "/nonexistent/file"});
    EXPECT_EQ(missingFile.status, 1);
    EXPECT_NE(missingFile.out.find("**Failed** File is Invalid!\n"), std::string::npos);
}

TEST(Cli, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {"update", "--tcp"},                                          // no file
        {"update", "--file", "x"},                                    // no port
        {"update", "--tcp", "--serial", "/dev/null", "--file", "x"},  // two ports
        {"read", "--tcp", "--progress=fancy"},
        {"read", "--tcp", "127.0.0.1:99999"},
        {"read", "--serial", "/dev/ttyS0", "--baud", "fast"},
        {"read", "--serial", "/dev/ttyS0", "--baud", "115200abc"},
        {"read", "--serial", "/dev/ttyS0", "--baud", "99999999999999"},
        {"read", "--port", "com|/dev/ttyS0:115200abc"},
        {"read", "--port", "tcp|::1:35000"},
        {"update", "--tcp", "--file", "a", "--file", "b"},
        {"read", "--baud", "9600", "--tcp"},
        {"read", "--tcp", "--file", "x"},
        {"ports", "extra"},
        // A port without its address, an empty value, an empty name.
        {"read", "--tcp=", "--progress=none"},
        {"read", "--tcp", ":35000"},
        {"read", "--port", "tcp|:1"},
        {"read", "--port", "com|:115200"},
    };
    for (const auto& args : wrong) {
        const Finished run = runProgram(args);
        EXPECT_EQ(run.status, 2) << args[0] << " " << args[1];
        EXPECT_NE(run.err.find("usage: korvane-fw " + args[0]), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

// "--" ends the options, "help help" explains itself, and the version stands alone.
TEST(Cli, CommandLineEdges) {
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                      ("korvane_dash_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5413, 256));
    const std::filesystem::path dashed = dir / "-f.hex";
    std::filesystem::copy_file(update.path, dashed,
                               std::filesystem::copy_options::overwrite_existing);
    // Relative to the folder, so that the argument itself starts with "-".
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    const Finished checked = runProgram({"check", "--", "-f.hex"});
    std::filesystem::current_path(here);
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_NE(checked.out.find("File:         -f.hex\n"), std::string::npos) << checked.out;

    const Finished help = runProgram({"help", "help"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("korvane-fw help [COMMAND]"), std::string::npos) << help.out;

    const Finished version = runProgram({"-V", "extra"});
    EXPECT_EQ(version.status, 2);
    EXPECT_EQ(version.out, "");
    EXPECT_NE(version.err.find("usage: korvane-fw"), std::string::npos) << version.err;
    std::filesystem::remove_all(dir);
    std::filesystem::remove(update.path);
}

// Ctrl-C, SIGTERM and SIGHUP each stop the update with its stop text and 128 + the signal's
// number; the JSON end lines still come.
TEST(Cli, SignalsStopTheUpdateAndNeverReportSuccess) {
    struct Case {
        int signal;
        int status;
        bool json;
    };
    for (const Case& c :
         {Case{SIGINT, 130, false}, Case{SIGTERM, 143, false}, Case{SIGHUP, 129, true}}) {
        SCOPED_TRACE(c.signal);
        sim::AdapterSettings settings;
        settings.model = sim::kModelZnb5411;
        settings.faults.lineDelayMs = 20;  // about 2 s for the whole file
        EmulatedLink adapter(settings, Link::Tcp);
        ASSERT_TRUE(adapter.started()) << adapter.error();
        const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5411, 6400));

        std::vector<std::string> args = {"update", "--port", adapter.descriptor(), "--file",
                                         update.path};
        if (c.json) {
            args.push_back("--progress=json");
        }
        Program program(args);
        ASSERT_TRUE(adapter.server().waitUntil(
            [](const sim::AdapterStatus& status) { return status.lineCommands >= 6; }, 20000));
        program.interrupt(c.signal);
        const Finished run = program.wait();
        EXPECT_EQ(run.status, c.status);
        if (c.json) {
            EXPECT_NE(run.out.find(R"("kind":"result","result":"cut_short","outcome":"stopped")"),
                      std::string::npos)
                << run.out;
            EXPECT_NE(run.out.find(R"("exit_status":)" + std::to_string(c.status) + "}"),
                      std::string::npos)
                << run.out;
        } else {
            EXPECT_NE(run.out.find(
                          "**Failed** Request stop download fail,Upgrade again after power on!\n"),
                      std::string::npos)
                << run.out;
        }
        EXPECT_EQ(run.out.find("File download finished!"), std::string::npos);
        EXPECT_EQ(run.err.find("progress 100%"), std::string::npos);
        EXPECT_NE(adapter.server().status().update, sim::UpdateStatus::Completed);
        EXPECT_LT(adapter.server().status().lineCommands, 100);
    }
}

// The first Ctrl-C asks the update to stop, which waits for the line in flight (here slow to be
// taken); a second one ends the program at once, by the signal itself.
TEST(Cli, SecondCtrlCEndsTheProgramAtOnce) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelZnb5411;
    settings.faults.lineDelayMs = 1500;
    EmulatedLink adapter(settings, Link::Tcp);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5411, 640));
    Program program({"update", "--port", adapter.descriptor(), "--file", update.path});
    ASSERT_TRUE(adapter.server().waitUntil(
        [](const sim::AdapterStatus& status) { return status.lineCommands >= 1; }, 20000));
    program.interrupt(SIGINT);
    ::usleep(200 * 1000);
    program.interrupt(SIGINT);
    const Finished run = program.wait();
    EXPECT_TRUE(run.killed) << run.status << run.out;
    EXPECT_EQ(run.status, 130);
}

// Whether the adapter heard a command that puts it into download mode.
bool heardDownloadModeCommand(const sim::AdapterServer& server) {
    for (const sim::ReceivedCommand& command : server.commands()) {
        if (command.text == "QXUPDT03" || command.text.starts_with("QXDLZNB") ||
            command.text == "QX DLBD 02") {
            return true;
        }
    }
    return false;
}

// A signal while the adapter is still being identified (its answers late, but within their
// deadline): the job ends there, the adapter hears no download-mode command and nothing after the
// stop, and the output says it was left as it was.
TEST(Cli, SignalBeforeDownloadModeLeavesTheAdapterAsItWas) {
    struct Case {
        int model;
        bool bootLoader;
        Link link;
        int signal;
        bool json;
    };
    const Case cases[] = {
        {sim::kModelZnb5411, false, Link::Tcp, SIGINT, false},
        {sim::kModelZnb5411, true, Link::Pty, SIGTERM, false},
        {sim::kModelZnb540, false, Link::Tcp, SIGHUP, true},
        {sim::kModelZnb6730, false, Link::Pty, SIGINT, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.model) + " " + linkName(c.link));
        sim::AdapterSettings settings;
        settings.model = c.model;
        settings.bootLoader = c.bootLoader;
        settings.faults.answerDelayMs = 1500;
        EmulatedLink adapter(settings, c.link);
        ASSERT_TRUE(adapter.started()) << adapter.error();
        const UpdateFileOnDisk update = writeUpdateFile(recipeFor(c.model, 640));
        std::vector<std::string> args = {"update", "--port", adapter.descriptor(), "--file",
                                         update.path};
        if (c.json) {
            args.push_back("--progress=json");
        }
        Program program(args);
        // "ATE1", then the first question of identification ("ATI" or "QXVERS").
        ASSERT_TRUE(adapter.server().waitUntil(
            [](const sim::AdapterStatus& status) { return status.commandCount >= 2; }, 20000));
        program.interrupt(c.signal);
        const Finished run = program.wait();
        EXPECT_EQ(run.status, 128 + c.signal) << run.out;
        EXPECT_FALSE(heardDownloadModeCommand(adapter.server()));
        EXPECT_EQ(adapter.server().status().commandCount, 2);
        EXPECT_EQ(adapter.server().status().update, sim::UpdateStatus::None);
        EXPECT_NE(run.out.find("stopped before the adapter was put into download mode"),
                  std::string::npos)
            << run.out;
        // The cut waits are no failure of the adapter's.
        EXPECT_EQ(run.out.find("**Failed**"), std::string::npos) << run.out;
        if (c.json) {
            EXPECT_NE(run.out.find(R"("result":"cut_short","outcome":"stopped")"),
                      std::string::npos)
                << run.out;
        }
    }
}

// Ctrl-C while the connection to an adapter that never accepts is being made acts at once, not
// after the three connection attempts of 3000 ms each.
TEST(Cli, SignalDuringATcpConnectActsAtOnce) {
    SilentListener neverAccepts(true);
    ASSERT_GT(neverAccepts.port(), 0);
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5411, 640));
    Program program({"update", "--tcp", "127.0.0.1:" + std::to_string(neverAccepts.port()),
                     "--file", update.path, "--progress=none"});
    ASSERT_TRUE(program.catchesWithin(SIGINT, 10000));
    ::usleep(200 * 1000);  // into the first attempt's wait
    const auto stop = std::chrono::steady_clock::now();
    program.interrupt(SIGINT);
    const Finished run = program.wait();
    const auto took = std::chrono::steady_clock::now() - stop;
    EXPECT_EQ(run.status, 130) << run.out;
    // A stop before download mode acts within 500 ms: the connect's wait watches the stop itself,
    // and the runner looks at the interrupt every 50 ms.
    EXPECT_LT(took, std::chrono::milliseconds(500));
    EXPECT_EQ(run.out,
              "  stopped before the adapter was put into download mode: it was left as it was, "
              "its firmware untouched.\n");
}

// Output that cannot be written never hurts the download: with standard output closed (the
// port's descriptor would otherwise take its number), with a reader that goes away in the
// middle (`korvane-fw update ... 2>&1 | grep -m1 'progress 20%'`) and with one that never reads
// (`... | (sleep 600)`, its pipe full), the adapter ends up holding the whole file and the exit
// status is the update's.
TEST(Cli, ClosedOrBrokenOutputNeverHurtsTheUpdate) {
    struct Case {
        Output output;
        Link link;
    };
    for (const Case& c : {Case{Output::Closed, Link::Tcp}, Case{Output::Closed, Link::Pty},
                          Case{Output::Pipe, Link::Tcp}, Case{Output::Pipe, Link::Pty},
                          Case{Output::FullPipe, Link::Tcp}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.output)) + " " + linkName(c.link));
        sim::AdapterSettings settings;
        settings.model = sim::kModelZnb5412;
        settings.faults.lineDelayMs = 5;
        EmulatedLink adapter(settings, c.link);
        ASSERT_TRUE(adapter.started()) << adapter.error();
        const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5412, 6400));
        Program program(
            {"update", "--port", adapter.descriptor(), "--file", update.path, "--progress=plain"},
            "", c.output);
        if (c.output == Output::Pipe) {
            EXPECT_TRUE(program.readUntil("progress 20%"));
            program.closePipe();
        }
        // Bounded, so that a program held by its output fails here instead of hanging.
        ASSERT_TRUE(adapter.server().waitUntil(
            [](const sim::AdapterStatus& status) {
                return status.update == sim::UpdateStatus::Completed;
            },
            60000));
        const Finished run = program.wait();
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(adapter.server().status().update, sim::UpdateStatus::Completed);
        EXPECT_EQ(imagePayload(adapter.server().image()), update.file.image);
    }
}

TEST(Cli, LogOptionWritesTheSerialTrafficLog) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelZnb5413;
    EmulatedLink adapter(settings, Link::Pty);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("korvane_log_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);

    const Finished plain = Program({"read", "--serial", adapter.server().ptyPath()}, dir).wait();
    EXPECT_EQ(plain.status, 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir));  // no log unless asked for

    const Finished logged =
        Program({"read", "--serial", adapter.server().ptyPath(), "--log"}, dir).wait();
    EXPECT_EQ(logged.status, 0);
    std::string log;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            log += readWhole(entry.path().string());
        }
    }
    EXPECT_NE(log.find("Is Opened!"), std::string::npos) << log;
    EXPECT_NE(log.find("Data[out]"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// A silent adapter: the read ends with the reason line and exit 1, and the JSON result carries
// the reason.
TEST(Cli, ReadOfASilentAdapterSaysWhyAndFails) {
    SilentListener silent;
    ASSERT_GT(silent.port(), 0);
    const std::string target = "127.0.0.1:" + std::to_string(silent.port());
    const Finished text = runProgram({"read", "--tcp", target, "--progress=none"});
    EXPECT_EQ(text.status, 1);
    EXPECT_TRUE(text.out.starts_with("Port is opened!\n  the adapter gave no answer to QXVERS"))
        << text.out;
    const Finished json = runProgram({"read", "--tcp", target, "--progress=json"});
    EXPECT_EQ(json.status, 1);
    ASSERT_NE(json.out.find(R"("kind":"result")"), std::string::npos) << json.out;
    const std::string result = json.out.substr(json.out.find(R"("kind":"result")"));
    EXPECT_NE(result.find(R"("result":"failed")"), std::string::npos) << json.out;
    EXPECT_NE(result.find(R"("reason":"the adapter gave no answer to QXVERS within 2000 ms;)"),
              std::string::npos)
        << json.out;
}

// An adapter whose UART runs at `rate`: at another rate it is heard, and answers, as noise.
sim::AdapterSettings adapterAtRate(int model, int rate) {
    sim::AdapterSettings settings;
    settings.model = model;
    settings.baud = rate;
    settings.mismatchAsNoise = true;
    return settings;
}

TEST(Cli, UpdateWithBaudAutoFindsTheRateFirst) {
    EmulatedLink adapter(adapterAtRate(sim::kModelZnb5411, 57600), Link::Pty);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5411, 1024));
    const std::string pty = adapter.server().ptyPath();

    const Finished run = runProgram(
        {"update", "--serial", pty, "--baud", "auto", "--file", update.path, "--progress=none"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.err.find("the adapter on " + pty + " answers at 57600 baud"), std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("File download finished!\n"), std::string::npos) << run.out;
    EXPECT_EQ(imagePayload(adapter.server().image()), update.file.image);

    sim::AdapterSettings loopBack;
    loopBack.decoy = sim::Decoy::LoopBack;
    EmulatedLink notAnAdapter(loopBack, Link::Pty);
    ASSERT_TRUE(notAnAdapter.started());
    const Finished refused =
        runProgram({"read", "--serial", notAnAdapter.server().ptyPath(), "--baud", "auto"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("no adapter: our own bytes came back"), std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.out, "");
}

TEST(Cli, DetectTellsEachPortAndExitsByWhatItFound) {
    EmulatedLink adapter(adapterAtRate(sim::kModelAzur01, 230400), Link::Pty);
    sim::AdapterSettings modem;
    modem.decoy = sim::Decoy::Modem;
    EmulatedLink decoy(modem, Link::Pty);
    ASSERT_TRUE(adapter.started() && decoy.started());
    const std::string pty = adapter.server().ptyPath();
    const std::string other = decoy.server().ptyPath();

    const Finished text =
        runProgram({"detect", "--serial", pty, "--port", "com|" + other + ":9600"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "com|" + pty +
                            ":230400  Azur01, application, device version AzurXX V4.0.05, adapter "
                            "version Azur01 v2.2\n" +
                            other + ": no adapter: answers \"OK\" like a modem, not an adapter\n");

    const Finished json = runProgram({"detect", "--port", "com|" + pty + ":230400", "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"descriptor\": \"com|" + pty + ":230400\""), std::string::npos)
        << json.out;
    for (const char* key :
         {"\"port\"", "\"found\": true", "\"mode\": \"application\"", "\"updatable\": true",
          "\"model\": \"Azur01\"", "\"device_version\"", "\"adapter_version\"", "\"elapsed_ms\""}) {
        EXPECT_NE(json.out.find(key), std::string::npos) << key << json.out;
    }

    const Finished none = runProgram({"detect", "--port", "com|" + pty + ":9600", "--json"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("\"reason\": \"line noise only\""), std::string::npos) << none.out;
    EXPECT_EQ(runProgram({"detect", "--port", "com|x"}).status, 2);

    // A stable name that holds ":" cannot be a descriptor: the line says how to name it instead.
    const std::string byPath =
        ::testing::TempDir() + "korvane-pci-0000:00:14.0-port" + std::to_string(::getpid());
    ASSERT_EQ(::symlink(pty.c_str(), byPath.c_str()), 0);
    const Finished named = runProgram({"detect", "--serial", byPath});
    ::unlink(byPath.c_str());
    EXPECT_EQ(named.status, 0);
    EXPECT_EQ(named.out.rfind("--serial " + byPath + " --baud 230400  Azur01, application", 0), 0u)
        << named.out;

    // Ctrl-C ends the search after the rate each port is at and tells what was tried.
    sim::AdapterSettings silent;
    silent.decoy = sim::Decoy::Silent;
    EmulatedLink quiet(silent, Link::Pty);
    ASSERT_TRUE(quiet.started());
    Program search({"detect", "--serial", quiet.server().ptyPath()});
    ASSERT_TRUE(search.catchesWithin(SIGINT, 10000));
    ::usleep(300 * 1000);
    search.interrupt();
    const Finished stopped = search.wait();
    EXPECT_EQ(stopped.status, 130) << stopped.err;
    EXPECT_NE(stopped.out.find("(stopped before every rate was tried)"), std::string::npos)
        << stopped.out;
}

TEST(Cli, PortsListsOneNamePerLine) {
    const Finished run = runProgram({"ports"});
    EXPECT_EQ(run.status, 0);
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_FALSE(line.empty());
        // The name first, then what is known of the port after two blanks.
        const std::string name = line.substr(0, line.find(' '));
        EXPECT_FALSE(name.empty()) << line;
        EXPECT_EQ(name.find_first_of("|:"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace korvane::e2e
