#include "channel/worker_thread.h"

#include <utility>

namespace korvane {

WorkerThread::WorkerThread(std::function<void()> routine) : thread_(std::move(routine)) {}

WorkerThread::~WorkerThread() { join(); }

void WorkerThread::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

}  // namespace korvane
