#pragma once

// Marks the hand-over of data between two threads through a channel that the thread sanitizer
// cannot see (the toolkit's own event queue and semaphores are not instrumented). Without the
// sanitizer these compile to nothing.
#if defined(__SANITIZE_THREAD__)
#define KORVANE_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KORVANE_TSAN 1
#endif
#endif

#if defined(KORVANE_TSAN)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace korvane {

// Everything this thread did so far happens before whatever follows a matching takeOver.
inline void handOver([[maybe_unused]] void* token) {
#if defined(KORVANE_TSAN)
    __tsan_release(token);
#endif
}

inline void takeOver([[maybe_unused]] void* token) {
#if defined(KORVANE_TSAN)
    __tsan_acquire(token);
#endif
}

}  // namespace korvane
