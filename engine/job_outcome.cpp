#include "engine/job_outcome.h"

namespace korvane {

const char* jobResultName(JobResult result) {
    switch (result) {
        case JobResult::Finished:
            return "finished";
        case JobResult::Refused:
            return "refused";
        case JobResult::Stopped:
            return "stopped";
        case JobResult::Failed:
            break;
    }
    return "failed";
}

}  // namespace korvane
