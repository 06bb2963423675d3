#pragma once

namespace korvane {

// Where an UpdateJob's reports go: every text and progress step of a run, called on the thread
// that runs the operation (the caller's during openPort, the worker's afterwards). Each front end
// implements it once.
class JobReports {
public:
    virtual ~JobReports() = default;
    // A NUL-terminated text that carries its own line ends; one visible line may come as several
    // texts. The text belongs to the caller and may live in a temporary buffer: done with it on
    // return.
    virtual void onText(const char* text) = 0;
    // A progress percent, 0 to 100.
    virtual void onProgress(int percent) = 0;
};

// The reports as the job and its parts hand them on. Reports to none go nowhere, and so does a
// missing text.
class Reporter {
public:
    Reporter() = default;
    explicit Reporter(JobReports* reports) : reports_(reports) {}

    void reportText(const char* text) const {
        if (reports_ != nullptr && text != nullptr) {
            reports_->onText(text);
        }
    }
    void reportProgress(int percent) const {
        if (reports_ != nullptr) {
            reports_->onProgress(percent);
        }
    }

private:
    JobReports* reports_ = nullptr;
};

}  // namespace korvane
