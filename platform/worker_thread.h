#pragma once

#include <functional>
#include <thread>

namespace korvane {

// Runs one routine on a thread of its own, started at once. Destroying it joins the thread, so
// the owner tells the routine to stop first. (Destroyed from its own routine, it lets the thread
// finish by itself instead.)
class WorkerThread {
public:
    explicit WorkerThread(std::function<void()> routine);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Waits without limit for the routine to end. Safe to call more than once; does nothing when
    // called from the routine itself.
    void join();
    bool joinable() const { return thread_.joinable(); }
    std::thread::id id() const { return thread_.get_id(); }

private:
    std::thread thread_;
};

}  // namespace korvane
