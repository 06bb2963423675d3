#pragma once

namespace korvane {

// The two actions a job runs on an adapter (UpdateJob::run).
enum class JobKind {
    Update,  // install the update file's firmware
    Read,    // report the adapter's two version texts; its firmware is not touched
};

}  // namespace korvane
