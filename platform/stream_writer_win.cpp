#include "platform/windows_api.h"

#include <algorithm>
#include <atomic>

#include "platform/stream_writer.h"

namespace korvane {
namespace {

// A pipe on Windows cannot be asked whether it has room, so the write blocks on the writing
// thread; wake() cancels it there (CancelSynchronousIo). The deadline is the waker's to keep.
class WinStreamWriter final : public StreamWriter {
public:
    explicit WinStreamWriter(HANDLE stream) : stream_(stream) {}
    ~WinStreamWriter() override {
        if (const HANDLE thread = thread_.load(); thread != nullptr) {
            CloseHandle(thread);
        }
    }

    long write(std::string_view bytes, const Deadline&) override {
        if (stream_ == nullptr || stream_ == INVALID_HANDLE_VALUE) {
            return -1;
        }
        if (thread_.load() == nullptr) {
            thread_.store(OpenThread(THREAD_TERMINATE, FALSE, GetCurrentThreadId()));
        }
        if (woken_.exchange(false) || bytes.empty()) {
            return 0;
        }
        DWORD written = 0;
        const DWORD most = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 4096));
        if (WriteFile(stream_, bytes.data(), most, &written, nullptr)) {
            return static_cast<long>(written);
        }
        return GetLastError() == ERROR_OPERATION_ABORTED ? 0 : -1;
    }

    void wake() override {
        woken_.store(true);
        if (const HANDLE thread = thread_.load(); thread != nullptr) {
            CancelSynchronousIo(thread);
        }
    }

private:
    HANDLE stream_;
    std::atomic<HANDLE> thread_{nullptr};
    std::atomic<bool> woken_{false};
};

}  // namespace

std::unique_ptr<StreamWriter> standardStreamWriter(StandardStream stream) {
    return std::make_unique<WinStreamWriter>(
        GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE));
}

}  // namespace korvane
