#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/update_file.h"

namespace korvane {

// How loading and checking an update file ended, in the order the steps run.
enum class FileVerdict {
    Sound,        // loaded whole, sound, every line or record sendable
    Unreadable,   // not loaded: missing, unreadable, no regular file, or over kMaxUpdateFileSize
    TooSmall,     // loaded, shorter than kMinUpdateFileSize
    FormatError,  // loaded, refused by its own check
    Unsendable,   // sound, but holds a line or record the download could not send
};

// An update file loaded and checked once, read-only, so that every adapter of a batch sends the
// same bytes without reading or checking them again. A refused file keeps its bytes (when they
// were loaded) for the record of the runs it refused.
struct PreparedUpdateFile {
    FileVerdict verdict = FileVerdict::Unreadable;
    std::shared_ptr<const UpdateFile> file;  // none when not loaded
    std::string failureText;                 // the refusal's fixed text; empty when sound
    std::string reasonLine;                  // its reason line

    bool sound() const { return verdict == FileVerdict::Sound; }
    // Whether the file's own check ran (it reports progress 2 in a run).
    bool checked() const {
        return verdict == FileVerdict::Sound || verdict == FileVerdict::FormatError ||
               verdict == FileVerdict::Unsendable;
    }
};

// Loads the file at `path` (UTF-8) whole and checks it as an update does, reporting nothing: the
// texts of a refusal come back for the caller to tell once.
PreparedUpdateFile prepareUpdateFile(const std::string& path);

}  // namespace korvane
