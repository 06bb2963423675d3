#include "tests/soak/soak_plan.h"

#include <algorithm>
#include <random>
#include <sstream>

#include "engine/command_exchange.h"

namespace korvane::soak {

namespace {

// mt19937_64 is fully specified, and the helpers below use nothing implementation-defined, so a
// seed gives the same plan with every standard library.
class Dice {
public:
    explicit Dice(std::uint64_t seed) : engine_(seed) {}
    // Uniform in [low, high].
    int between(int low, int high) {
        const auto span = static_cast<std::uint64_t>(high - low) + 1;
        return low + static_cast<int>(engine_() % span);
    }
    bool chance(int percent) { return between(1, 100) <= percent; }

private:
    std::mt19937_64 engine_;
};

constexpr const char* kFaultNames[kFaultKinds] = {
    "noise", "nul",          "reppack", "repblock",     "err02",   "silence",   "slow",  "late",
    "drop",  "baud-refused", "flood",   "finish-error", "refusal", "wire-time", "stall", "stop",
};

// The file's model name for each adapter model, and a product text the emulator's default
// "QXPROI" answer ("Korvane OBD-II") contains.
constexpr const char* kModelNames[] = {"Azur03", "ZNB5413",       "ZNB5411",       "ZNB5412",
                                       "Azur01", "Korvane FS v1", "Korvane FS BT1"};
constexpr const char* kProductText = "Korvane OBD";

bool appliesTo(FaultKind kind, const RunPlan& plan) {
    switch (kind) {
        case FaultKind::RepPack:
        case FaultKind::RepBlock:
        case FaultKind::FinishError:
            return plan.family == 2;
        case FaultKind::Err02:
        case FaultKind::BaudRefused:
            return plan.family == 1;
        case FaultKind::WireTime:
            return plan.link == LinkKind::Pty;
        default:
            return true;
    }
}

std::vector<int> someCommands(Dice& dice, int total) {
    std::vector<int> numbers;
    const int count = dice.between(1, 4);
    for (int i = 0; i < count; ++i) {
        numbers.push_back(dice.between(1, total));
    }
    return numbers;
}

// The adapter does not fit the file; the update must be refused with a text.
void makeRefusal(Dice& dice, RunPlan& plan) {
    sim::AdapterSettings& a = plan.adapter;
    sim::UpdateFileRecipe& r = plan.recipe;
    if (plan.family == 1) {
        a.model = a.model == sim::kModelZnb540 ? sim::kModelZnb6730 : sim::kModelZnb540;
        return;
    }
    a.bootLoader = false;  // only an adapter in its application firmware is identified
    const bool azur = a.model == sim::kModelAzur03 || a.model == sim::kModelAzur01;
    switch (dice.between(0, 3)) {
        case 0:  // another family-2 model
            a.model = (a.model + dice.between(1, 4)) % 5;
            break;
        case 1:  // an ELM327 version newer than the engine knows
            a.elmVersion = "2.4";
            break;
        case 2:  // adapter below the threshold, file above it
            a.firmwareVersion = azur ? "4.0.04" : "2.2.28";
            r.versionText = azur ? "V4.0.1X" : "V2.2.3X";
            break;
        default:  // adapter at the threshold, file not above it
            a.firmwareVersion.clear();
            r.versionText = azur ? "V4.0.0X" : "V2.2.2X";
            break;
    }
}

}  // namespace

const char* faultName(FaultKind kind) {
    return kFaultNames[static_cast<int>(kind)];
}

bool breaksAdapterContract(FaultKind kind) {
    return kind == FaultKind::LateAnswers || kind == FaultKind::Flood || kind == FaultKind::Stall;
}

bool parseFaultName(const std::string& name, FaultKind& kind) {
    for (int i = 0; i < kFaultKinds; ++i) {
        if (name == kFaultNames[i]) {
            kind = static_cast<FaultKind>(i);
            return true;
        }
    }
    return false;
}

bool RunPlan::has(FaultKind kind) const {
    return std::find(faults.begin(), faults.end(), kind) != faults.end();
}

RunPlan makeRunPlan(std::uint64_t seed, const std::vector<FaultKind>& only) {
    Dice dice(seed);
    RunPlan plan;
    plan.seed = seed;
    plan.link = dice.chance(50) ? LinkKind::Tcp : LinkKind::Pty;
    const int model = dice.between(0, 6);
    plan.family = model <= sim::kModelAzur01 ? 2 : 1;

    sim::AdapterSettings& a = plan.adapter;
    a.model = model;
    a.echo = dice.chance(50);
    a.bootLoader = plan.family == 2 && dice.chance(25);

    sim::UpdateFileRecipe& r = plan.recipe;
    r.family = plan.family;
    r.modelName = kModelNames[model];
    r.productText = kProductText;
    const bool azur = model == sim::kModelAzur03 || model == sim::kModelAzur01;
    // Above the emulator's default firmware version, which sits at the model's threshold.
    r.versionText = azur ? "V4.0.1X" : "V2.2.3X";
    if (plan.family == 2 && !azur && !a.bootLoader && dice.chance(10)) {
        // The intermediate firmware: an adapter below the threshold takes a file at it.
        a.firmwareVersion = "2.2.28";
        r.versionText = "V2.2.2X";
    }
    r.lineEnd = static_cast<sim::LineEnd>(dice.between(0, 2));

    // How many faults, and which.
    const int roll = dice.between(1, 100);
    const int wanted = roll <= 20 ? 0 : roll <= 75 ? 1 : roll <= 95 ? 2 : 3;
    std::vector<FaultKind> candidates;
    for (int i = 0; i < kFaultKinds; ++i) {
        const auto kind = static_cast<FaultKind>(i);
        const bool allowed =
            only.empty() || std::find(only.begin(), only.end(), kind) != only.end();
        if (allowed && appliesTo(kind, plan)) {
            candidates.push_back(kind);
        }
    }
    for (int i = 0; i < wanted && !candidates.empty(); ++i) {
        const int pick = dice.between(0, static_cast<int>(candidates.size()) - 1);
        plan.faults.push_back(candidates[pick]);
        candidates.erase(candidates.begin() + pick);
    }
    std::sort(plan.faults.begin(), plan.faults.end());

    // Lines that take seconds each (long slow lines, late answers) get short files.
    const bool longDelays =
        plan.has(FaultKind::LateAnswers) || (plan.has(FaultKind::SlowLines) && dice.chance(30));
    if (plan.family == 2) {
        const int lines = longDelays ? dice.between(1, 4) : dice.between(1, 60);
        r.payload = sim::samplePayload(static_cast<std::size_t>(lines * 64 - dice.between(0, 63)),
                                       static_cast<std::uint32_t>(seed));
    } else {
        r.recordSize = dice.between(16, 130);
        const int size = longDelays ? dice.between(20, 300) : dice.between(50, 3000);
        r.payload =
            sim::samplePayload(static_cast<std::size_t>(size), static_cast<std::uint32_t>(seed));
    }
    const int dataUnits =
        plan.family == 2 ? static_cast<int>((r.payload.size() + 63) / 64) + 2
                         : static_cast<int>((r.payload.size() + r.recordSize - 1) / r.recordSize);
    // Commands before, during and after the lines, roughly: enough to land anywhere.
    const int commands = dataUnits + 16;

    sim::FaultPlan& f = a.faults;
    for (FaultKind kind : plan.faults) {
        switch (kind) {
            case FaultKind::Noise:
                f.noiseBytes = dice.between(1, 40);
                f.noiseAt.all = dice.chance(20);
                f.noiseAt.numbers = someCommands(dice, commands);
                break;
            case FaultKind::Nul:
                f.nulAt.all = dice.chance(20);
                f.nulAt.numbers = someCommands(dice, commands);
                break;
            case FaultKind::RepPack:
                for (int i = dice.between(1, 3); i > 0; --i) {
                    f.repPack.push_back({dice.between(1, dataUnits), dice.chance(60)
                                                                         ? dice.between(1, 3)
                                                                         : dice.between(4, 6)});
                }
                break;
            case FaultKind::RepBlock:
                for (int i = dice.between(1, 2); i > 0; --i) {
                    f.repBlock.push_back(
                        {dice.between(1, (dataUnits + 1) / 2), dice.between(1, 3)});
                }
                break;
            case FaultKind::Err02:
                for (int i = dice.between(1, 2); i > 0; --i) {
                    f.err02.push_back({dice.between(1, dataUnits), dice.between(1, 2)});
                }
                break;
            case FaultKind::Silence:
                f.silentAfterCommand = dice.between(1, commands);
                break;
            case FaultKind::SlowLines:
            case FaultKind::LateAnswers: {
                // A line's deadline is 2000 ms (family 2), a record's 5000 ms (family 1). Slow
                // lines stay within half of it, so the whole answer is in well before the end.
                const int deadline = plan.family == 2 ? 2000 : 5000;
                if (kind == FaultKind::LateAnswers) {
                    f.lineDelayMs = dice.between(deadline + 50, deadline + 700);
                } else if (longDelays && !plan.has(FaultKind::LateAnswers)) {
                    f.lineDelayMs = dice.between(deadline / 4, deadline / 2);
                } else if (!plan.has(FaultKind::LateAnswers)) {
                    f.lineDelayMs = dice.between(5, 150);
                }
                break;
            }
            case FaultKind::Drop:
                f.dropAtLine = dice.between(1, dataUnits + 2);
                break;
            case FaultKind::BaudRefused:
                f.refuseBaudSwitch = true;
                break;
            case FaultKind::Flood:
                f.floodAtCommand = dice.between(1, commands);
                break;
            case FaultKind::FinishError:
                f.finishFailures = dice.between(1, 3);
                break;
            case FaultKind::Refusal:
                makeRefusal(dice, plan);
                break;
            case FaultKind::WireTime:
                a.wireTime = true;
                break;
            case FaultKind::Stop:
                // Mostly while the adapter is opened and identified, otherwise anywhere; the
                // adapter's answers (not the lines') late at times, so identification lasts.
                plan.stopAfterMs = dice.chance(60) ? dice.between(0, 500) : dice.between(0, 6000);
                if (dice.chance(50)) {
                    f.answerDelayMs = dice.between(1, 1500);
                }
                break;
            case FaultKind::Stall: {
                // Anywhere from within a line's deadline to well past its grace period.
                const int deadline = plan.family == 2 ? 2000 : 5000;
                f.stallAtLine = dice.between(1, dataUnits + 2);
                f.stallMs = dice.between(500, deadline + kLateAnswerGraceMs + 3000);
                break;
            }
        }
    }
    return plan;
}

std::string RunPlan::describe() const {
    std::ostringstream out;
    out << (link == LinkKind::Tcp ? "tcp" : "pty") << " f" << family << " model " << adapter.model
        << (adapter.bootLoader ? " boot" : " app") << (adapter.echo ? " echo-on" : " echo-off")
        << " file " << recipe.modelName << " " << recipe.versionText << " payload "
        << recipe.payload.size();
    if (family == 1) {
        out << "/" << recipe.recordSize;
    }
    const sim::FaultPlan& f = adapter.faults;
    out << " faults:";
    if (faults.empty()) {
        out << " none";
    }
    for (FaultKind kind : faults) {
        out << " " << faultName(kind);
        switch (kind) {
            case FaultKind::Noise:
            case FaultKind::Nul: {
                const sim::CommandSelection& s = kind == FaultKind::Noise ? f.noiseAt : f.nulAt;
                out << "(";
                if (kind == FaultKind::Noise) {
                    out << f.noiseBytes << " bytes ";
                }
                out << (s.all ? "all" : "at");
                for (int n : s.numbers) {
                    out << " " << n;
                }
                out << ")";
                break;
            }
            case FaultKind::RepPack:
            case FaultKind::RepBlock:
            case FaultKind::Err02: {
                const auto& list = kind == FaultKind::RepPack    ? f.repPack
                                   : kind == FaultKind::RepBlock ? f.repBlock
                                                                 : f.err02;
                out << "(";
                for (const sim::CountAt& c : list) {
                    out << " " << c.at << "x" << c.count;
                }
                out << " )";
                break;
            }
            case FaultKind::Silence:
                out << "(after " << f.silentAfterCommand << ")";
                break;
            case FaultKind::SlowLines:
            case FaultKind::LateAnswers:
                out << "(" << f.lineDelayMs << " ms)";
                break;
            case FaultKind::Drop:
                out << "(line " << f.dropAtLine << ")";
                break;
            case FaultKind::Flood:
                out << "(command " << f.floodAtCommand << ")";
                break;
            case FaultKind::Stall:
                out << "(line " << f.stallAtLine << ", " << f.stallMs << " ms)";
                break;
            case FaultKind::Stop:
                out << "(at " << stopAfterMs << " ms, answers " << f.answerDelayMs << " ms late)";
                break;
            case FaultKind::FinishError:
                out << "(" << f.finishFailures << ")";
                break;
            case FaultKind::Refusal:
                out << "(adapter " << adapter.model << " elm " << adapter.elmVersion << " fw "
                    << (adapter.firmwareVersion.empty() ? "default" : adapter.firmwareVersion)
                    << ")";
                break;
            default:
                break;
        }
    }
    return out.str();
}

}  // namespace korvane::soak
