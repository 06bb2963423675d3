#pragma once

#include <string>
#include <vector>

namespace korvane::sim {

// Model numbers of the emulated adapter, the same numbers the updater uses: 0 to 4 are the
// line-download (family-2) models, 5 and 6 the block-download (family-1) models.
inline constexpr int kModelAzur03 = 0;
inline constexpr int kModelZnb5413 = 1;
inline constexpr int kModelZnb5411 = 2;
inline constexpr int kModelZnb5412 = 3;
inline constexpr int kModelAzur01 = 4;
inline constexpr int kModelZnb540 = 5;
inline constexpr int kModelZnb6730 = 6;

// 2 for models 0 to 4, 1 for models 5 and 6, 0 for anything else.
int familyOfModel(int model);

// Which commands a fault touches. Commands are numbered from 1 in the order the adapter received
// them (every CR-ended text counts, the empty one included).
struct CommandSelection {
    bool all = false;
    std::vector<int> numbers;

    bool contains(int commandNumber) const;
    bool any() const { return all || !numbers.empty(); }
};

// "Answer this way `count` times at position `at`" (1-based line, pair or record number).
struct CountAt {
    int at = 0;
    int count = 0;
};

// Faults the adapter injects on purpose. Everything defaults to "off".
struct FaultPlan {
    // Line number in file order (1-based; odd numbers are the first line of a pair, even numbers
    // the second): the first `count` sends of that line are answered "RepPack\r".
    std::vector<CountAt> repPack;
    // Pair number (1-based): its second line is answered "RepBlock\r" `count` times.
    std::vector<CountAt> repBlock;
    // Record number (1-based, counting accepted records): answered "ERR02" `count` times.
    std::vector<CountAt> err02;
    // "QXFL\r" is answered "ERROR" this many times before it is accepted.
    int finishFailures = 0;
    // Above 0: every command numbered higher than this gets no answer and no echo at all, and has
    // no effect.
    int silentAfterCommand = 0;
    // This many noise bytes (never CR, LF, NUL, ">" or letters) go out before the echo (or, with
    // echo off, before the answer) of the selected commands.
    int noiseBytes = 0;
    CommandSelection noiseAt;
    // A NUL byte between every two bytes of the answers (not the echo) of these commands.
    CommandSelection nulAt;
    // This command (1-based number) is echoed and then answered with 100,000 bytes and no prompt;
    // it has no other effect.
    int floodAtCommand = 0;
    // The link is closed (TCP connection dropped, pty closed) when the line command with this
    // number arrives ("QXBL" and "QXDLDT" commands, counted from 1, resends included). The command
    // has no effect.
    int dropAtLine = 0;
    // "QX DLBD 02\r" is answered "?" and the adapter stays at its rate.
    bool refuseBaudSwitch = false;
    // Time to write one line or record into flash: delays the answer (not the echo) of every
    // "QXBL" and "QXDLDT" command.
    int lineDelayMs = 0;
    // Delays the answer (not the echo) of every other command: identification and version
    // queries, mode commands. An adapter that answers late, but within the updater's deadline.
    int answerDelayMs = 0;
    // The link stalls for `stallMs` when the line command with number `stallAtLine` arrives
    // (counted as `dropAtLine` counts): that command and everything that arrives during the stall
    // get their echo and answer only when it ends, in order, as a link that carries on after a
    // pause delivers them. The adapter acts on every one of them.
    int stallAtLine = 0;
    int stallMs = 0;
};

// Something on a serial port that is not an adapter, for tests of finding one. A decoy hears the
// host at any rate.
enum class Decoy {
    None,      // the emulated adapter itself
    LoopBack,  // every byte comes straight back (a loop-back plug, a port that echoes)
    Modem,     // echoes every line and answers it "OK", as a modem does
    Noise,     // answers every line with line noise, now and then with a ">" in it
    Silent,    // takes everything, answers nothing
};

// Everything that makes one emulated adapter. Empty texts take the model's default.
struct AdapterSettings {
    int model = kModelZnb5413;
    // Family 2 only: the adapter starts in its boot loader (answers "ATI\r" without "ELM327 ").
    bool bootLoader = false;
    // Echo at power-on; "ATE1\r" and "ATE0\r" change it.
    bool echo = false;
    // Version the "ATI\r" answer carries after "ELM327 v".
    std::string elmVersion = "2.2";
    // Firmware version: models 0 and 4 after "AzurXX V" in the "QXVERS\r" answer, models 1 to 3
    // after the identity in the "QXI\r" answer, models 5 and 6 after "V" in "QXVERS\r".
    // Defaults: "4.0.05" (0, 4), "2.2.29" (1 to 3), "1.0.0" (5, 6).
    std::string firmwareVersion;
    // The short version: models 0 and 4 after "v" in "QXI\r", models 1 to 3 after "V" in
    // "QXVERS\r", models 5 and 6 after "v" in "QXI\r". Default "2.2".
    std::string shortVersion;
    // Start of the "QXI\r" answer. Defaults: "AzurPro v", "Korvane MC v", "Korvane BM v",
    // "Korvane FD v", "Azur01 v", "ZNB540 v", "ZNB6730 v". Model 1 may also use "Q_Rove01 v" or
    // "Korvane-MC v".
    std::string identityPrefix;
    // Models 0 and 4: what stands before the firmware version in the "QXVERS\r" answer. Older
    // products of these models answer "Azur V3..." instead.
    std::string versionPrefix = "AzurXX V";
    // The "QXPROI\r" answer.
    std::string productText = "Korvane OBD-II";
    // Family 1: the "QXVERS\r" answer begins with the model name; false: with "V" alone.
    bool versionNamesModel = true;
    // Versions the new firmware reports after a completed update (empty: unchanged).
    std::string firmwareVersionAfterUpdate;
    std::string shortVersionAfterUpdate;
    // The adapter's serial rate at power-on and the fast rate "QX DLBD 02\r" switches to.
    int baud = 115200;
    int fastBaud = 2000000;
    // After answering "QX DLBD 02\r" the adapter announces itself at the fast rate; the host's
    // end must run at that rate within this window or the announcement is lost.
    int announceWindowMs = 1000;
    // Bytes take 10 bits at the current rate in each direction (8N1).
    bool wireTime = false;
    // While the host's end runs at another rate: false, the bytes that cross are lost; true, they
    // cross as a real wire carries them, as line noise: the host's line reaches the adapter
    // garbled, the adapter answers it as a line it does not know, and that answer reaches the
    // host as noise, every other time with a ">" in it.
    bool mismatchAsNoise = false;
    Decoy decoy = Decoy::None;
    FaultPlan faults;
};

// The defaults above, filled in for `settings.model`.
std::string defaultFirmwareVersion(int model);
std::string defaultIdentityPrefix(int model);

}  // namespace korvane::sim
