#pragma once

#include <functional>
#include <string>
#include <vector>

namespace korvane {

// How the adapter is attached: a serial port through the BT or the USB panel, or TCP through
// the WIFI panel.
enum class DeviceType { Bt, Usb, Wifi };

// What the window runs on a worker: the job's two actions (JobKind), and Find (the search for an
// adapter).
enum class WindowActivity { Update, Read, Find };

// What a serial panel holds: the selected port and baud rate, each with its index (negative
// when nothing is selected).
struct SerialChoice {
    int portIndex = -1;
    std::string port;
    int baudIndex = -1;
    std::string baud;
};

// The toolkit's side of the main window, as the WindowModel uses it. Every call but carryOut and
// post is made on the window's thread.
class WindowView {
public:
    virtual ~WindowView() = default;

    virtual DeviceType deviceType() const = 0;
    // The path box, in UTF-8.
    virtual std::string pathText() const = 0;
    virtual void setPathText(const std::string& path) = 0;
    // The panel of BT or USB.
    virtual SerialChoice serialChoice(DeviceType type) const = 0;
    // The WIFI panel's two boxes, as typed, in UTF-8.
    virtual std::string wifiAddress() const = 0;
    virtual std::string wifiPort() const = 0;

    // Enables or disables every input control (Clear, the output box and the progress bar stay).
    virtual void setControlsEnabled(bool enabled) = 0;
    // Appends `text` (8-bit, one character per byte, no "\r") to the output box or replaces its
    // whole content; then scrolls to the last line and repaints the box at once.
    virtual void appendOutput(const std::string& text, bool append) = 0;
    virtual void setProgress(int percent) = 0;
    // Find's result: selects device type `type` and shows its panel; for BT and USB also selects
    // `port` in that panel's port list (appended first when the list lacks it) and `baud` in its
    // baud list.
    virtual void showFoundAdapter(DeviceType type, const std::string& port,
                                  const std::string& baud) = 0;
    // The serial ports changed: both serial panels list `ports`, each keeping its selected port
    // while that port is still listed (else the first entry, nothing when there is none).
    virtual void replacePortLists(const std::vector<std::string>& ports) = 0;
    // False while the window is hidden: reports are then dropped.
    virtual bool isShown() const = 0;

    // Whether the caller runs on the window's thread.
    virtual bool onWindowThread() const = 0;
    // From another thread: runs `action` on the window's thread and returns once it has run.
    virtual void carryOut(const std::function<void()>& action) = 0;
    // From another thread: runs `action` on the window's thread later, without waiting.
    virtual void post(std::function<void()> action) = 0;

    // A run was recorded in the update history (or could not be): an open history table shows it.
    virtual void historyChanged() {}
};

}  // namespace korvane
