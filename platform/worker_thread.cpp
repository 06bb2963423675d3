#include "platform/worker_thread.h"

#include <utility>

namespace korvane {

WorkerThread::WorkerThread(std::function<void()> routine) : thread_(std::move(routine)) {}

WorkerThread::~WorkerThread() {
    if (!thread_.joinable()) {
        return;
    }
    if (thread_.get_id() == std::this_thread::get_id()) {
        // Destroyed by its own routine: it cannot wait for itself, and a joinable std::thread
        // must not be destroyed, so the thread runs to its end on its own.
        thread_.detach();
        return;
    }
    thread_.join();
}

void WorkerThread::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

}  // namespace korvane
