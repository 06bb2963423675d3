#pragma once

#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "cli/batch_output.h"

namespace korvane {

// The reports of one or more adapters for other programs: one JSON object per line on `out`,
// written whole and flushed, so a reader may act on each line as it comes. The lines of one
// adapter keep the order of its reports; lines of different adapters interleave by time.
//
//   {"port":"tcp|127.0.0.1:35000","kind":"text","text":"Port is opened!\r\n"}
//   {"port":"tcp|127.0.0.1:35000","kind":"progress","percent":1}
//   {"kind":"text","text":"**Failed** update file format error!\r\n"}
//   {"port":"tcp|127.0.0.1:35000","kind":"result","result":"finished","message":"",
//    "duration_ms":2310}
//   {"kind":"summary","adapters":1,"finished":1,"failed":0,"cut_short":0,"exit_status":0}
//
// "port" is the descriptor as given (taken as UTF-8); a text without it concerns every adapter
// (the update file's refusal, told once before any port is opened). "text" is each text report
// exactly as the engine made it (a piece of a line, or lines with their "\r\n"), every byte as
// the character of the same number (bytes above 127 as U+0080 to U+00FF). "result" is "finished",
// "failed" or "cut_short". The whole interface is described in docs/cli-json.md.
class JsonBatchOutput : public BatchOutput {
public:
    JsonBatchOutput(std::vector<std::string> descriptors, std::ostream& out);

    void text(std::size_t adapter, const char* text) override;
    void progress(std::size_t adapter, int percent) override;
    // A "text" object without "port": it concerns every adapter.
    void sharedText(const char* text) override;
    void adapterDone(std::size_t adapter, const AdapterResult& result) override;
    void batchDone(const std::vector<AdapterResult>& results, int exitStatus) override;

private:
    void writeLine(const std::string& line);

    std::mutex mutex_;
    std::vector<std::string> ports_;
    std::ostream& out_;
};

// The "result" value of an outcome.
const char* outcomeName(AdapterOutcome outcome);

}  // namespace korvane
