// The window's decisions, on a recording view whose "window thread" is the test's own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "channel/traffic_log/traffic_log_notice.h"
#include "tests/support/fake_job.h"
#include "tests/support/scripted_channel.h"
#include "ui/model/input_bounds.h"
#include "ui/model/panel_defaults.h"
#include "ui/model/window_model.h"

#include "engine/failure_reason.h"
#include "engine/flow_texts.h"

namespace korvane::test {
namespace {

// Holds what the controls would hold and records what the model did to them. Actions from the
// worker queue up until the test thread carries them out in pump().
class RecordingView : public WindowView {
public:
    DeviceType type = DeviceType::Bt;
    std::string path;
    SerialChoice bt{0, "COM3", kDefaultBaudIndex, "115200"};
    SerialChoice usb{1, "COM7", 0, "9600"};
    std::string address = kDefaultWifiAddress;
    std::string port = kDefaultWifiPort;
    bool shown = true;

    bool enabled = true;
    std::string output;
    int progress = -1;
    int enableCalls = 0;
    std::vector<std::string> listed;

    DeviceType deviceType() const override { return type; }
    std::string pathText() const override { return path; }
    void setPathText(const std::string& text) override { path = text; }
    SerialChoice serialChoice(DeviceType t) const override {
        return t == DeviceType::Usb ? usb : bt;
    }
    std::string wifiAddress() const override { return address; }
    std::string wifiPort() const override { return port; }
    void setControlsEnabled(bool on) override {
        enabled = on;
        ++enableCalls;
    }
    void appendOutput(const std::string& text, bool append) override {
        output = append ? output + text : text;
    }
    void setProgress(int percent) override { progress = percent; }
    void showFoundAdapter(DeviceType t, const std::string& name, const std::string& rate) override {
        type = t;
        if (t != DeviceType::Wifi) {
            SerialChoice& panel = t == DeviceType::Usb ? usb : bt;
            panel.port = name;
            panel.baud = rate;
        }
    }
    void replacePortLists(const std::vector<std::string>& ports) override { listed = ports; }
    bool isShown() const override { return shown; }
    bool onWindowThread() const override { return std::this_thread::get_id() == windowThread_; }

    void carryOut(const std::function<void()>& action) override {
        bool done = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back([&] {
                action();
                std::lock_guard<std::mutex> inner(doneMutex_);
                done = true;
                doneSignal_.notify_all();
            });
        }
        queued_.notify_all();
        std::unique_lock<std::mutex> lock(doneMutex_);
        doneSignal_.wait(lock, [&] { return done; });
    }
    void post(std::function<void()> action) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(std::move(action));
        }
        queued_.notify_all();
    }

    // Carries out queued actions on this (the window's) thread until `until` holds, within 10 s.
    bool pump(const std::function<bool()>& until) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!until()) {
            std::function<void()> next;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (!queued_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) {
                    return false;
                }
                next = std::move(queue_.front());
                queue_.pop_front();
            }
            next();
        }
        return true;
    }

private:
    std::thread::id windowThread_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<std::function<void()>> queue_;
    std::mutex doneMutex_;
    std::condition_variable doneSignal_;
};

class WindowModelTest : public ::testing::Test {
protected:
    RecordingView view;
    FakeJob job;
    std::vector<std::string> ports{"COM3", "COM7"};
    WindowModel model{job, [this] { return ports; }, view};

    void SetUp() override { model.attach(); }
    void TearDown() override {
        ASSERT_TRUE(view.pump([this] { return !model.isBusy(); }));
        model.stopAndJoin();
    }
};

TEST_F(WindowModelTest, ChoosesThePortOfTheChosenDeviceType) {
    struct Case {
        DeviceType type;
        SerialChoice bt;
        std::string address;
        std::string port;
        std::optional<std::string> descriptor;  // the descriptor text of the choice
    };
    const SerialChoice noPort{-1, "", 4, "115200"};
    const SerialChoice noBaud{0, "COM3", -1, ""};
    const Case cases[] = {
        {DeviceType::Bt, view.bt, "", "", "com|COM3:115200"},
        {DeviceType::Usb, view.bt, "", "", "com|COM7:9600"},
        {DeviceType::Wifi, view.bt, "10.0.0.5", "23", "tcp|10.0.0.5:23"},
        {DeviceType::Wifi, view.bt, "", "", "tcp|:"},  // the job refuses it, not the window
        {DeviceType::Bt, noPort, "", "", std::nullopt},
        {DeviceType::Bt, noBaud, "", "", std::nullopt},
    };
    for (const Case& c : cases) {
        view.type = c.type;
        view.bt = c.bt;
        view.address = c.address;
        view.port = c.port;
        const std::optional<PortChoice> choice = model.choosePort();
        ASSERT_EQ(choice.has_value(), c.descriptor.has_value());
        if (choice) {
            EXPECT_EQ(portChoiceText(*choice), *c.descriptor);
            // A well-formed choice is a request; the empty boxes are the job's to refuse.
            EXPECT_EQ(choice->request.has_value(), c.address != "" || c.type != DeviceType::Wifi);
        }
    }
}

TEST_F(WindowModelTest, UpdateNeedsAPathAndASerialChoiceReadOnlyTheChoice) {
    model.startUpdate();  // empty path
    view.bt.portIndex = -1;
    view.path = "fw.hex";
    model.startUpdate();
    model.startRead();
    EXPECT_EQ(job.openCount, 0);
    EXPECT_EQ(view.enableCalls, 0);
    EXPECT_TRUE(view.output.empty());

    view.bt.portIndex = 0;
    model.startRead();
    ASSERT_TRUE(view.pump([this] { return !model.isBusy(); }));
    EXPECT_EQ(job.lastPath, "");
    EXPECT_EQ(job.readCount, 1);
}

TEST_F(WindowModelTest, WorkerReportsReachTheWindowThreadAndIdleFollowsTheLastStep) {
    Gate gate;
    job.updateWork = [&gate](FakeJob& j, int) {
        j.reportProgress(1);
        j.reportText("device version:");
        j.reportText("2.2.3X\r\n");
        j.reportProgress(100);
        j.reportText("done\r\n");
        j.reporter().reportText(nullptr);
        gate.wait();
    };
    view.path = "fw.hex";
    view.progress = 55;
    model.startUpdate();
    EXPECT_TRUE(model.isBusy());
    EXPECT_EQ(model.runningJob(), WindowActivity::Update);
    EXPECT_FALSE(view.enabled);
    EXPECT_EQ(view.progress, 0);  // reset before the port opens
    EXPECT_EQ(view.output, "Port is opened!\n");

    ASSERT_TRUE(view.pump([this] { return view.progress == 100; }));
    EXPECT_TRUE(model.isBusy());
    gate.open();
    ASSERT_TRUE(view.pump([this] { return !model.isBusy(); }));
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.output, "Port is opened!\ndevice version:2.2.3X\ndone\n");
    EXPECT_EQ(job.releaseCount, 1);
    EXPECT_EQ(job.lastReleasedSlot, 0);
}

TEST_F(WindowModelTest, TheJobsOutcomeIsKeptOnceIdle) {
    view.path = "fw.hex";
    for (const JobResult result : {JobResult::Refused, JobResult::Finished, JobResult::Stopped}) {
        job.outcome = {result, result == JobResult::Finished ? "" : "**Failed** x!\r\n"};
        model.startUpdate();
        ASSERT_TRUE(view.pump([this] { return !model.isBusy(); }));
        EXPECT_EQ(model.lastOutcome().result, result);
        EXPECT_EQ(model.lastOutcome().failureText, job.outcome.failureText);
    }
}

// The views take UTF-8: a path with non-ASCII letters shows as itself in a reason line, and an
// 8-bit byte that is no UTF-8 arrives as the Latin-1 character it stands for.
TEST_F(WindowModelTest, ReportsReachTheViewAsUtf8) {
    const std::string path = "/home/j\xC3\xBCrgen/Firmware \xE2\x82\xAC.hex";
    view.path = path;
    job.updateWork = [&path](FakeJob& j, int) {
        FileFailure missing;
        missing.cause = FileCause::Missing;
        missing.path = path;
        j.reportText(kFileInvalidText);
        j.reportText(fileFailureReason(missing).c_str());
        j.reportText("caf\xE9\r\n");
    };
    model.startUpdate();
    ASSERT_TRUE(view.pump([this] { return !model.isBusy(); }));
    EXPECT_EQ(view.output, "Port is opened!\n**Failed** File is Invalid!\n  " + path +
                               ": no such file; check the path.\ncaf\xC3\xA9\n");
}

TEST_F(WindowModelTest, FailedOpenReturnsToIdleAtOnceAndStartsNoWorker) {
    job.openResult = -1;
    view.path = "fw.hex";
    model.startUpdate();
    EXPECT_FALSE(model.isBusy());
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.enableCalls, 2);
    EXPECT_EQ(view.output, "**Failed** Port connection error!\n");
    EXPECT_EQ(job.updateCount, 0);
}

TEST_F(WindowModelTest, ASecondStartWhileBusyStartsNothing) {
    Gate gate;
    job.updateWork = [&gate](FakeJob&, int) { gate.wait(); };
    view.path = "fw.hex";
    model.startUpdate();
    model.startRead();
    model.startUpdate();
    EXPECT_EQ(job.openCount, 1);
    gate.open();
    ASSERT_TRUE(view.pump([this] { return !model.isBusy(); }));
    EXPECT_EQ(job.updateCount, 1);
    EXPECT_EQ(job.readCount, 0);
}

TEST_F(WindowModelTest, ReportsToAHiddenWindowAreDropped) {
    view.shown = false;
    job.reportText("Port is opened!\r\n");
    job.reportProgress(40);
    EXPECT_TRUE(view.output.empty());
    EXPECT_EQ(view.progress, -1);
}

// Esc closes only when Idle; the close box asks first while a job runs, in words for that job, and
// a confirmed close then ends the process, unless the job ended while the question was open.
TEST_F(WindowModelTest, CloseDecisionFollowsBusyAndTheAnswer) {
    struct Case {
        std::optional<JobKind> running;
        CloseRequest request;
        bool answer;
        bool endsWhileAsked;
        CloseAction action;
        const char* asked;  // a phrase of the question, or nullptr when nothing is asked
    };
    const Case cases[] = {
        {std::nullopt, CloseRequest::Escape, false, false, CloseAction::Close, nullptr},
        {std::nullopt, CloseRequest::CloseBox, false, false, CloseAction::Close, nullptr},
        {JobKind::Update, CloseRequest::Escape, true, false, CloseAction::Stay, nullptr},
        {JobKind::Update, CloseRequest::CloseBox, false, false, CloseAction::Stay,
         "An update is running"},
        {JobKind::Update, CloseRequest::CloseBox, true, false, CloseAction::EndProcess,
         "An update is running"},
        {JobKind::Read, CloseRequest::Escape, true, false, CloseAction::Stay, nullptr},
        {JobKind::Read, CloseRequest::CloseBox, true, false, CloseAction::EndProcess,
         "firmware is not touched"},
        {JobKind::Read, CloseRequest::CloseBox, true, true, CloseAction::Close,
         "firmware is not touched"},
    };
    for (const Case& c : cases) {
        Gate gate;
        job.updateWork = [&gate](FakeJob&, int) { gate.wait(); };
        job.readWork = job.updateWork;
        view.path = "fw.hex";
        if (c.running) {
            *c.running == JobKind::Update ? model.startUpdate() : model.startRead();
            ASSERT_TRUE(model.isBusy());
        }
        std::string asked;
        const CloseAction action = model.decideClose(c.request, [&](const std::string& question) {
            asked = question;
            if (c.endsWhileAsked) {
                gate.open();
                EXPECT_TRUE(view.pump([this] { return !model.isBusy(); }));
            }
            return c.answer;
        });
        EXPECT_EQ(action, c.action) << asked;
        if (c.asked == nullptr) {
            EXPECT_TRUE(asked.empty()) << asked;
        } else {
            EXPECT_NE(asked.find(c.asked), std::string::npos) << asked;
        }
        if (c.running == JobKind::Read) {
            EXPECT_EQ(asked.find("update"), std::string::npos) << asked;
        }
        gate.open();
        ASSERT_TRUE(view.pump([this] { return !model.isBusy(); }));
    }
    EXPECT_FALSE(job.stopRequested());
    model.stopAndJoin();
    EXPECT_TRUE(job.stopRequested());
}

TEST_F(WindowModelTest, ChosenFileFillsThePathOnlyWhenItFitsAndSaysWhyOtherwise) {
    view.path = "kept.hex";
    model.takeChosenFile("");
    EXPECT_EQ(view.path, "kept.hex");
    EXPECT_TRUE(view.output.empty());

    model.takeChosenFile("C:\\" + std::string(kMaxPathBytes - 2, 'a'));  // 1024 bytes
    EXPECT_EQ(view.path, "kept.hex");
    EXPECT_EQ(view.output,
              "The chosen file's path is longer than 1023 bytes and cannot be used; move the file "
              "to a shorter path.\n");

    const std::string longest = "C:\\" + std::string(kMaxPathBytes - 3, 'b');
    model.takeChosenFile(longest);
    EXPECT_EQ(view.path, longest);

    model.clearOutput();
    EXPECT_TRUE(view.output.empty());
}

// The notice of a traffic log that cannot be written reaches the output box of either view as a
// reason line, once, whether it comes on the window's thread (a channel opened by Update) or on
// the worker's; the update goes on. The model hands the notice back when it goes.
TEST_F(WindowModelTest, TrafficLogNoticeIsShownOnceFromEitherThread) {
    const std::string opened = "  the traffic log /tmp/k.log cannot be opened";
    const std::string written = "  the traffic log /tmp/k.log cannot be written";
    job.updateWork = [](FakeJob& j, int) {
        noticeTrafficLogProblem({"/tmp/k.log", 28, true});
        j.reportText("File download finished!\r\n");
    };
    view.path = "fw.hex";
    noticeTrafficLogProblem({"/tmp/k.log", 13, false});  // on the window's thread: at once
    model.startUpdate();
    EXPECT_EQ(view.output.find(opened), 0u) << view.output;
    EXPECT_NE(view.output.find("; the work goes on without it.\nPort is opened!\n"),
              std::string::npos)
        << view.output;
    ASSERT_TRUE(view.pump([this] { return !model.isBusy(); }));
    EXPECT_NE(view.output.find("File download finished!\n"), std::string::npos) << view.output;
    EXPECT_EQ(view.output.find(written), std::string::npos) << "told once: " << view.output;

    // Installed anew (as a new window would), a worker's notice is posted to the window's thread.
    model.clearOutput();
    model.attach();
    model.startUpdate();
    ASSERT_TRUE(view.pump([this] { return !model.isBusy(); }));
    EXPECT_EQ(view.output.find("Port is opened!\n" + written), 0u) << view.output;
    EXPECT_NE(view.output.find("\nFile download finished!\n"), std::string::npos) << view.output;

    model.stopAndJoin();
    {
        RecordingView otherView;
        WindowModel other(job, nullptr, otherView);
        other.attach();
    }
    model.clearOutput();
    noticeTrafficLogProblem({"/tmp/k.log", 28, true});  // no handler left: nobody is told
    EXPECT_TRUE(view.output.empty());
}

TEST(WindowRulesTest, EnterRunsTheFocusedButtonAndUpdateOnlyFromPathOrUpdate) {
    using C = WindowControl;
    const std::pair<C, std::optional<C>> cases[] = {
        {C::PathBox, C::Update},   {C::Update, C::Update},     {C::Read, C::Read},
        {C::Clear, C::Clear},      {C::Browse, C::Browse},     {C::Refresh, C::Refresh},
        {C::Find, C::Find},        {C::WifiFind, C::WifiFind}, {C::AddressBox, std::nullopt},
        {C::Output, std::nullopt}, {C::Bt, std::nullopt},      {C::PortList, std::nullopt},
    };
    for (const auto& [focused, runs] : cases) {
        EXPECT_EQ(WindowModel::enterRuns(focused), runs) << static_cast<int>(focused);
    }
}

// Tab visits the visible panel's stops, then the window's; a job disables exactly the inputs.
TEST(WindowRulesTest, TabOrderAndInputsComeFromTheLayout) {
    using C = WindowControl;
    const std::vector<C> window = {C::PathBox, C::Browse, C::Update, C::Output, C::Clear, C::Read};
    std::vector<C> serial = {C::PortList, C::BaudList, C::Find, C::Refresh};
    std::vector<C> wifi = {C::AddressBox, C::PortBox, C::WifiFind};
    serial.insert(serial.end(), window.begin(), window.end());
    wifi.insert(wifi.end(), window.begin(), window.end());
    EXPECT_EQ(tabOrder(ControlPlace::SerialPanel), serial);
    EXPECT_EQ(tabOrder(ControlPlace::WifiPanel), wifi);

    std::vector<C> inputs;
    for (const ControlLayout& row : windowLayout()) {
        if (row.input) {
            inputs.push_back(row.control);
        }
    }
    EXPECT_EQ(inputs, (std::vector<C>{C::Bt, C::Usb, C::Wifi, C::PathBox, C::Browse, C::Update,
                                      C::Read, C::PortList, C::BaudList, C::Find, C::Refresh,
                                      C::AddressBox, C::PortBox, C::WifiFind}));
    EXPECT_EQ(layoutOf(C::PathBox).maxBytes, kMaxPathBytes);
    EXPECT_EQ(layoutOf(C::PortBox).maxBytes, kMaxFieldBytes);
}

TEST(WindowRulesTest, RefreshKeepsThePositionWhileItExists) {
    struct Case {
        int remembered;
        int count;
        int selected;
    };
    const Case cases[] = {{2, 2, 0}, {2, 5, 2}, {-1, 3, 0}, {0, 0, -1}, {4, 0, -1}, {1, 2, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(restoredPortIndex(c.remembered, c.count), c.selected)
            << c.remembered << " of " << c.count;
    }
}

TEST(WindowRulesTest, BoundsCountUtf8BytesAndPanelsOfferTheFixedChoices) {
    EXPECT_TRUE(fitsBound(std::string(1023, 'a'), kMaxPathBytes));
    EXPECT_FALSE(fitsBound(std::string(1024, 'a'), kMaxPathBytes));
    EXPECT_FALSE(fitsBound(std::string(254, 'a') + "\xc3\xa9", kMaxFieldBytes));  // 256 bytes
    EXPECT_TRUE(fitsBound(std::string(253, 'a') + "\xc3\xa9", kMaxFieldBytes));
    EXPECT_EQ(kBaudRates.size(), 13u);
    EXPECT_STREQ(kBaudRates[kDefaultBaudIndex], "115200");
}

}  // namespace
}  // namespace korvane::test

namespace korvane::test {
namespace {

// A serial port whose far end answers as an adapter only when the port is `name` at `rate`.
class RateChannel : public ScriptedChannel {
public:
    RateChannel(const SerialPortRequest& request, const std::string& name, int rate)
        : rate_(std::make_shared<std::atomic<int>>(request.baud)) {
        const bool ours = request.name == name;
        respond(
            [ours, rate, current = rate_](std::string_view written) -> std::optional<std::string> {
                if (!ours || current->load() != rate) {
                    return std::nullopt;
                }
                if (written == "\r") {
                    return std::string(">");
                }
                if (written == "ATI\r") {
                    return std::string("ELM327 v2.2\r\r>");
                }
                if (written == "QXI\r") {
                    return std::string("Korvane BM v2.2.29\r\r>");
                }
                return std::string("V2.2\r\r>");
            });
    }
    int setBaudRate(int baud) override {
        rate_->store(baud);
        return ScriptedChannel::setBaudRate(baud);
    }

private:
    std::shared_ptr<std::atomic<int>> rate_;
};

// Find probes the ports read-only, writes each finding, and fills the panel with the first
// adapter found: a USB serial adapter that answers only at 57600 baud, beside a silent port.
TEST_F(WindowModelTest, FindFillsThePanelWithTheAdapterFound) {
    ports = {"/dev/ttyS0", "/dev/ttyUSB1"};
    view.bt = SerialChoice{0, "/dev/ttyS0", kDefaultBaudIndex, "115200"};
    ChannelFactory channels;
    channels.com = [](const SerialPortRequest& request, bool& isOpen) {
        isOpen = true;
        return std::unique_ptr<Channel>(new RateChannel(request, "/dev/ttyUSB1", 57600));
    };
    model.setFindFactory(channels);
    model.setPortDetails([] {
        SerialPortInfo usbAdapter;
        usbAdapter.name = "/dev/ttyUSB1";
        usbAdapter.usbVendorId = "0403";
        return std::vector<SerialPortInfo>{usbAdapter};
    });
    model.startFind();
    EXPECT_TRUE(model.isBusy());
    EXPECT_FALSE(view.enabled);
    EXPECT_EQ(model.decideClose(CloseRequest::Escape, nullptr), CloseAction::Stay);
    ASSERT_TRUE(view.pump([this] { return !model.isBusy(); }));
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.type, DeviceType::Usb);
    EXPECT_EQ(view.usb.port, "/dev/ttyUSB1");
    EXPECT_EQ(view.usb.baud, "57600");
    EXPECT_NE(view.output.find("/dev/ttyS0: no adapter: no answer at 13 rates"), std::string::npos)
        << view.output;
    EXPECT_NE(view.output.find("com|/dev/ttyUSB1:57600  ZNB5411, application"), std::string::npos)
        << view.output;
    model.portsChanged();
    EXPECT_EQ(view.listed, ports);
}

}  // namespace
}  // namespace korvane::test
