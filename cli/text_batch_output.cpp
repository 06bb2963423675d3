#include "cli/text_batch_output.h"

#include <algorithm>
#include <ostream>

#include "cli/summary_table.h"

namespace korvane {

namespace {

std::vector<std::string> makePrefixes(const std::vector<std::string>& labels) {
    std::size_t width = 0;
    for (const std::string& label : labels) {
        width = std::max(width, label.size() + 2);
    }
    std::vector<std::string> prefixes;
    for (const std::string& label : labels) {
        const std::string tag = "[" + printableLine(label) + "]";
        prefixes.push_back(tag + std::string(width - tag.size() + 1, ' '));
    }
    return prefixes;
}

}  // namespace

TextBatchOutput::TextBatchOutput(const std::vector<std::string>& labels, ProgressMode mode,
                                 std::ostream& out, std::ostream& err, TerminalSize terminal)
    : mode_(mode),
      out_(out),
      err_(err),
      prefixes_(makePrefixes(labels)),
      lines_(labels.size() + 1),
      lastPercent_(labels.size(), -1) {
    if (mode_ == ProgressMode::Bar) {
        board_ = std::make_unique<ProgressBoard>(err_, prefixes_, terminal.rows, terminal.columns);
        board_->draw();
    }
}

void TextBatchOutput::writeLine(std::size_t adapter, std::string_view line) {
    if (board_) {
        board_->wipe();
    }
    const bool shared = adapter >= prefixes_.size();
    out_ << (shared ? std::string() : prefixes_[adapter]) << printableLine(line) << '\n';
    out_.flush();
    if (board_) {
        if (!shared) {
            board_->setLastText(adapter, line);
        }
        board_->draw();
    }
}

void TextBatchOutput::text(std::size_t adapter, const char* text) {
    std::lock_guard<std::mutex> hold(mutex_);
    lines_[adapter].add(text, [&](std::string_view line) { writeLine(adapter, line); });
}

void TextBatchOutput::sharedText(const char* text) {
    std::lock_guard<std::mutex> hold(mutex_);
    const std::size_t shared = prefixes_.size();
    lines_[shared].add(text, [&](std::string_view line) { writeLine(shared, line); });
}

void TextBatchOutput::progress(std::size_t adapter, int percent) {
    std::lock_guard<std::mutex> hold(mutex_);
    percent = std::clamp(percent, 0, 100);
    if (percent == lastPercent_[adapter]) {
        return;
    }
    lastPercent_[adapter] = percent;
    if (mode_ == ProgressMode::Plain) {
        err_ << prefixes_[adapter] << "progress " << percent << "%\n";
        err_.flush();
    } else if (board_) {
        board_->setPercent(adapter, percent);
    }
}

void TextBatchOutput::adapterDone(std::size_t adapter, const AdapterResult& result) {
    std::lock_guard<std::mutex> hold(mutex_);
    lines_[adapter].flush([&](std::string_view line) { writeLine(adapter, line); });
    if (board_) {
        board_->setDone(adapter, resultText(result));
    }
}

void TextBatchOutput::batchDone(const std::vector<AdapterResult>& results, int) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (board_) {
        board_->wipe();  // the table says it all
    }
    out_ << '\n' << summaryTable(results);
    out_.flush();
}

}  // namespace korvane
