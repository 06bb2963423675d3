// korvane-soak: many whole updates against the emulated adapter with random, seeded faults.
//
//   korvane-soak [--runs N] [--seed FIRST] [--jobs J] [--link tcp|pty] [--faults a,b,...]
//                [--hang-margin-ms MS] [--work-dir DIR] [--verbose] [--trace]
//
// Run i uses seed FIRST + i; `--seed S --runs 1` repeats one run. Every run must end in a success
// the adapter confirms (its image equals the file's payload and its download was closed) or in a
// failure whose last line is a "**Failed**" or refusal text, within the sum of its own deadlines;
// a run without faults must succeed. Prints figures per fault kind and the seed and plan of every
// run that broke a property; exits 1 when any did.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "tests/soak/soak_plan.h"
#include "tests/soak/soak_run.h"

namespace {

using namespace korvane::soak;

struct Options {
    int runs = 1000;
    std::uint64_t firstSeed = 1;
    int jobs = 4;
    bool forceLink = false;
    LinkKind link = LinkKind::Tcp;
    std::vector<FaultKind> only;
    SoakOptions soak;
    bool verbose = false;
};

constexpr int kMostJobs = 64;
// Seeds of the runs in progress, for a crash report from the signal handler (0: slot idle).
std::array<std::atomic<std::uint64_t>, kMostJobs> inFlight{};
std::array<struct sigaction, 32> previousActions{};

void writeText(const char* text) {
    const std::size_t length = std::strlen(text);
    if (::write(STDERR_FILENO, text, length) < 0) {
        return;
    }
}

void writeNumber(std::uint64_t value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    char text[24];
    for (int i = 0; i < n; ++i) {
        text[i] = digits[n - 1 - i];
    }
    text[n] = '\0';
    writeText(text);
}

// Names the seeds in flight, then lets the previous handler (a sanitizer's, or the default) run.
void onCrash(int signal) {
    writeText("\nkorvane-soak: CRASH (signal ");
    writeNumber(static_cast<std::uint64_t>(signal));
    writeText(") during the runs with seeds:");
    for (const auto& seed : inFlight) {
        const std::uint64_t s = seed.load();
        if (s != 0) {
            writeText(" ");
            writeNumber(s);
        }
    }
    writeText("\n");
    sigaction(signal, &previousActions[static_cast<std::size_t>(signal)], nullptr);
    raise(signal);
}

void installCrashReport() {
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
        struct sigaction action {};
        action.sa_handler = onCrash;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(signal, &action, &previousActions[static_cast<std::size_t>(signal)]);
    }
}

std::string faultKindsLine() {
    std::string line = "fault kinds:";
    for (int i = 0; i < kFaultKinds; ++i) {
        line += " ";
        line += faultName(static_cast<FaultKind>(i));
    }
    return line;
}

// Whole decimal numbers only: CLI11 alone reads "010" as octal and "0x10" as hex.
const CLI::Validator kDecimal(
    [](std::string& text) -> std::string {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
            return "not a whole decimal number: " + text;
        }
        text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
        return {};
    },
    "N");

// Nothing to go on, else the exit status: 0 after --help, 2 on a usage error.
std::optional<int> parseOptions(int argc, char** argv, Options& options) {
    CLI::App app("Many whole updates against the emulated adapter with random, seeded faults.",
                 "korvane-soak");
    app.footer(faultKindsLine());
    app.add_option("--runs", options.runs, "How many runs, 1 to 100000000 (default 1000)")
        ->transform(kDecimal)
        ->check(CLI::Range(1, 100000000))
        ->option_text("N");
    app.add_option("--seed", options.firstSeed,
                   "The first run's seed (default 1); run i uses FIRST + i")
        ->transform(kDecimal)
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{INT64_MAX / 2}))
        ->option_text("FIRST");
    app.add_option("--jobs", options.jobs,
                   "Runs at a time, 1 to " + std::to_string(kMostJobs) + " (default 4)")
        ->transform(kDecimal)
        ->check(CLI::Range(1, kMostJobs))
        ->option_text("J");
    std::string link;
    app.add_option("--link", link, "Every run over this link (default: as the seed picks)")
        ->check(CLI::IsMember({"tcp", "pty"}))
        ->option_text("tcp|pty");
    std::vector<std::string> faults;
    app.add_option("--faults", faults, "Only these fault kinds")
        ->delimiter(',')
        ->check(CLI::Validator(
            [](std::string& name) -> std::string {
                FaultKind kind{};
                return parseFaultName(name, kind) ? std::string() : "unknown fault kind " + name;
            },
            "KIND"))
        ->option_text("a,b,...");
    app.add_option("--hang-margin-ms", options.soak.hangMarginMs,
                   "Time beyond a run's own deadlines before it counts as hung, 0 to 3600000")
        ->transform(kDecimal)
        ->check(CLI::Range(0, 3600000))
        ->option_text("MS");
    app.add_option("--work-dir", options.soak.workDir, "Where the runs keep their files")
        ->type_name("DIR");
    app.add_flag("--verbose", options.verbose, "A line for every run");
    app.add_flag("--trace", options.soak.trace, "Keep the updater's traffic of broken runs");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& failure) {
        if (failure.get_exit_code() == 0) {
            return app.exit(failure);  // --help
        }
        std::cerr << "korvane-soak: " << failure.what() << "\n\n" << app.help();
        return 2;
    }
    if (!link.empty()) {
        options.forceLink = true;
        options.link = link == "tcp" ? LinkKind::Tcp : LinkKind::Pty;
    }
    for (const std::string& name : faults) {
        FaultKind kind{};
        parseFaultName(name, kind);
        options.only.push_back(kind);
    }
    return std::nullopt;
}

RunPlan planFor(std::uint64_t seed, const Options& options) {
    RunPlan plan = makeRunPlan(seed, options.only);
    if (options.forceLink && plan.link != options.link) {
        plan.link = options.link;
        if (plan.link == LinkKind::Tcp) {
            // Wire time is a pty matter.
            plan.adapter.wireTime = false;
            std::erase(plan.faults, FaultKind::WireTime);
        }
    }
    return plan;
}

// Counts per group: runs and each verdict.
struct Tally {
    int runs = 0;
    std::array<int, kVerdicts> verdicts{};
    int unconfirmed = 0;  // failure reported although the adapter holds the payload, closed
    double seconds = 0.0;

    void add(const RunOutcome& o) {
        ++runs;
        ++verdicts[static_cast<std::size_t>(o.verdict)];
        if (o.verdict == Verdict::Failure && o.imageComplete && o.adapterCompleted) {
            ++unconfirmed;
        }
        seconds += o.seconds;
    }
    int violations() const {
        int n = 0;
        for (int v = 0; v < kVerdicts; ++v) {
            n += isViolation(static_cast<Verdict>(v)) ? verdicts[static_cast<std::size_t>(v)] : 0;
        }
        return n;
    }
};

void printRow(const std::string& name, const Tally& t) {
    auto v = [&t](Verdict verdict) { return t.verdicts[static_cast<std::size_t>(verdict)]; };
    std::printf("%-16s %6d %8d %8d %7d %6d %6d %6d %6d %6d %7d %6d %8.1f\n", name.c_str(), t.runs,
                v(Verdict::Success), v(Verdict::Failure), v(Verdict::FalseSuccess),
                v(Verdict::BadEnding), v(Verdict::CleanFailed), v(Verdict::Hang),
                v(Verdict::StoredTwice), t.unconfirmed, v(Verdict::Stopped), v(Verdict::Stranded),
                t.runs > 0 ? t.seconds / t.runs : 0.0);
}

void printHeader(const char* first) {
    std::printf("%-16s %6s %8s %8s %7s %6s %6s %6s %6s %6s %7s %6s %8s\n", first, "runs", "success",
                "failure", "falseOK", "badEnd", "clean!", "hang", "twice", "unconf", "stopped",
                "strand", "s/run");
}

void printViolation(const RunOutcome& o) {
    std::printf("\n!! seed %llu: %s\n   plan: %s\n   %.1f s of %.1f s allowed%s%s\n",
                static_cast<unsigned long long>(o.plan.seed), verdictName(o.verdict),
                o.plan.describe().c_str(), o.seconds, o.allowedSeconds,
                o.detail.empty() ? "" : "; ", o.detail.c_str());
    std::printf("   adapter: image %s, download %s, %d commands\n",
                o.imageComplete ? "complete" : "incomplete",
                o.adapterCompleted ? "closed" : "not closed", o.status.commandCount);
    std::string shown = o.output;
    for (std::size_t at = 0; (at = shown.find("\r\n", at)) != std::string::npos;) {
        shown.replace(at, 2, "\n      ");
    }
    std::printf("   output:\n      %s\n", shown.c_str());
    if (!o.commandLog.empty()) {
        std::printf("   adapter's commands:\n");
        for (const std::string& line : o.commandLog) {
            std::printf("      %s\n", line.c_str());
        }
    }
    if (!o.hostTrace.empty()) {
        std::printf("   updater's traffic:%s\n", o.hostTrace.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> status = parseOptions(argc, argv, options)) {
        return *status;
    }
    // A peer that goes away must show as a failed write, not end the process.
    ::signal(SIGPIPE, SIG_IGN);
    installCrashReport();

    std::printf("korvane-soak: %d runs from seed %llu, %d at a time\n", options.runs,
                static_cast<unsigned long long>(options.firstSeed), options.jobs);
    std::fflush(stdout);

    const auto start = std::chrono::steady_clock::now();
    std::vector<RunOutcome> outcomes(static_cast<std::size_t>(options.runs));
    std::atomic<int> next{0};
    std::atomic<int> completed{0};
    std::atomic<bool> hung{false};
    std::mutex printLock;

    auto work = [&](int slot) {
        for (;;) {
            const int index = next.fetch_add(1);
            if (index >= options.runs || hung.load()) {
                return;
            }
            const std::uint64_t seed = options.firstSeed + static_cast<std::uint64_t>(index);
            inFlight[static_cast<std::size_t>(slot)] = seed;
            RunOutcome outcome = runPlan(planFor(seed, options), options.soak);
            inFlight[static_cast<std::size_t>(slot)] = 0;
            const int done = completed.fetch_add(1) + 1;
            {
                std::lock_guard<std::mutex> hold(printLock);
                if (isViolation(outcome.verdict) || outcome.verdict == Verdict::StoredTwice) {
                    printViolation(outcome);
                } else if (options.verbose) {
                    std::printf("seed %llu: %s in %.1f s (%s) last: %s\n",
                                static_cast<unsigned long long>(seed), verdictName(outcome.verdict),
                                outcome.seconds, outcome.plan.describe().c_str(),
                                outcome.lastLine.c_str());
                }
                if (done % 50 == 0 || done == options.runs) {
                    std::printf("... %d of %d runs\n", done, options.runs);
                }
                std::fflush(stdout);
            }
            if (outcome.verdict == Verdict::Hang) {
                hung = true;
            }
            outcomes[static_cast<std::size_t>(index)] = std::move(outcome);
        }
    };
    std::vector<std::thread> workers;
    for (int j = 0; j < options.jobs; ++j) {
        workers.emplace_back(work, j);
    }
    for (std::thread& w : workers) {
        w.join();
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    Tally total;
    std::map<std::string, Tally> byKind;
    std::map<std::string, Tally> byLink;
    std::map<std::string, int> endings;
    std::vector<std::uint64_t> violating;
    std::vector<std::uint64_t> storedTwice;
    int ran = 0;
    for (const RunOutcome& o : outcomes) {
        if (o.plan.seed == 0) {
            continue;  // not run (the soak stopped at a hang)
        }
        ++ran;
        total.add(o);
        if (o.plan.faults.empty()) {
            byKind["(none)"].add(o);
        }
        for (FaultKind kind : o.plan.faults) {
            byKind[faultName(kind)].add(o);
        }
        byLink[std::string(o.plan.link == LinkKind::Tcp ? "tcp" : "pty") + " family " +
               std::to_string(o.plan.family)]
            .add(o);
        if (o.verdict == Verdict::Failure) {
            ++endings[o.lastLine];
        }
        if (isViolation(o.verdict)) {
            violating.push_back(o.plan.seed);
        }
        if (o.verdict == Verdict::StoredTwice) {
            storedTwice.push_back(o.plan.seed);
        }
    }

    std::printf("\n== soak figures: %d runs in %.0f s (seeds %llu to %llu)\n", ran, wall,
                static_cast<unsigned long long>(options.firstSeed),
                static_cast<unsigned long long>(options.firstSeed + options.runs - 1));
    printHeader("");
    printRow("all runs", total);
    std::printf("\n");
    printHeader("link, family");
    for (const auto& [name, t] : byLink) {
        printRow(name, t);
    }
    std::printf("\n");
    printHeader("fault kind");
    for (const auto& [name, t] : byKind) {
        printRow(name, t);
    }
    std::printf("\nfailures by last line:\n");
    std::vector<std::pair<int, std::string>> sorted;
    for (const auto& [line, count] : endings) {
        sorted.emplace_back(count, line);
    }
    std::sort(sorted.rbegin(), sorted.rend());
    for (const auto& [count, line] : sorted) {
        std::printf("%6d  %s\n", count, line.c_str());
    }
    std::printf(
        "\n(falseOK: the outcome says finished without the payload in the adapter; badEnd: a "
        "failure whose last line is no failure or refusal text; clean!: a run without faults "
        "that failed; twice: success reported while the adapter holds a line or record twice, "
        "after late, stalled or flooded answers, a false success of its own kind; "
        "unconf: failures reported although the adapter holds the payload and closed the "
        "download)\n");
    if (!storedTwice.empty()) {
        std::printf("\nSTORED TWICE after late, stalled or flooded answers, seeds:");
        for (std::uint64_t s : storedTwice) {
            std::printf(" %llu", static_cast<unsigned long long>(s));
        }
        std::printf("\n");
    }

    if (!violating.empty()) {
        std::printf("\nkorvane-soak: %zu runs broke a property; seeds:", violating.size());
        for (std::uint64_t s : violating) {
            std::printf(" %llu", static_cast<unsigned long long>(s));
        }
        std::printf("\n");
        std::fflush(stdout);
        if (hung.load()) {
            std::_Exit(1);  // a hung run's thread still runs
        }
        return 1;
    }
    std::printf("\nkorvane-soak: every run held (0 false successes, 0 hangs)\n");
    return 0;
}
