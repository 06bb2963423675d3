// korvane-fuzz-seeds DIR: writes the starting corpus of every fuzz target into DIR/<target>/.
// Update files come from the project's writer (both families, every line end, sound and with each
// defect); the other seeds are small cases in each target's input layout. Nothing here is stored
// in the repository: the corpus is written fresh before each fuzz run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "fuzz/exchange_input.h"
#include "fuzz/seeds/flow_transcripts.h"
#include "sim/update_file_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace korvane;

int written = 0;

bool writeSeed(const fs::path& dir, const std::string& name, const std::string& bytes) {
    std::ofstream out(dir / name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::cerr << "korvane-fuzz-seeds: cannot write " << (dir / name) << "\n";
        return false;
    }
    ++written;
    return true;
}

const char* lineEndName(sim::LineEnd end) {
    switch (end) {
        case sim::LineEnd::CrLf:
            return "crlf";
        case sim::LineEnd::Lf:
            return "lf";
        case sim::LineEnd::Cr:
            return "cr";
    }
    return "?";
}

bool writeUpdateFileSeeds(const fs::path& dir) {
    struct Model {
        int family;
        const char* product;
        const char* model;
        const char* version;
    };
    const Model models[] = {
        {2, "Korvane FD", "ZNB5412", "V2.2.3X"},   {2, "Korvane FD", "Azur03", "V1.0.9"},
        {2, "Korvane FD", "Azur01", "V3.1.2X"},    {1, "Korvane FS", "Korvane FS v1.0", ""},
        {1, "Korvane FS", "Korvane FS BT v2", ""},
    };
    for (const Model& m : models) {
        for (sim::LineEnd end : {sim::LineEnd::CrLf, sim::LineEnd::Lf, sim::LineEnd::Cr}) {
            for (sim::Defect defect : sim::allDefects()) {
                sim::UpdateFileRecipe recipe;
                recipe.family = m.family;
                recipe.productText = m.product;
                recipe.modelName = m.model;
                recipe.versionText = m.version;
                recipe.lineEnd = end;
                recipe.defect = defect;
                recipe.payload = sim::samplePayload(m.family == 1 ? 300 : 200, 7);
                recipe.recordSize = 96;
                const sim::GeneratedUpdateFile file = sim::makeUpdateFile(recipe);
                if (!file.ok()) {
                    continue;  // a defect that does not apply to this family
                }
                const std::string name = std::string("f") + std::to_string(m.family) + "-" +
                                         m.model + "-" + lineEndName(end) + "-" +
                                         sim::defectName(defect) + ".hex";
                std::string safe = name;
                for (char& c : safe) {
                    if (c == ' ') {
                        c = '_';
                    }
                }
                if (!writeSeed(dir, safe, file.bytes)) {
                    return false;
                }
            }
        }
    }
    return true;
}

// One exchange case in the layout of exchange_input.h.
std::string exchangeSeed(fuzz::ExchangeRoutine routine, std::uint16_t replySize, bool echo,
                         int byteDelayMs, std::uint16_t deadlineMs, const std::string& command,
                         std::uint32_t writeFailures, const std::string& stream) {
    std::string s;
    s.push_back(static_cast<char>(routine));
    s.push_back(static_cast<char>(replySize >> 8));
    s.push_back(static_cast<char>(replySize & 0xFF));
    s.push_back(static_cast<char>((echo ? 1 : 0) | ((byteDelayMs & 0x0F) << 1)));
    s.push_back(static_cast<char>(deadlineMs >> 8));
    s.push_back(static_cast<char>(deadlineMs & 0xFF));
    std::size_t choice = fuzz::kExchangeCommands.size();
    for (std::size_t i = 0; i < fuzz::kExchangeCommands.size(); ++i) {
        if (command == fuzz::kExchangeCommands[i]) {
            choice = i;
        }
    }
    if (choice < fuzz::kExchangeCommands.size()) {
        s.push_back(static_cast<char>(choice));
    } else {
        s.push_back(static_cast<char>(0xFF));
        s.push_back(static_cast<char>(command.size()));
        s += command;
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
        s.push_back(static_cast<char>((writeFailures >> shift) & 0xFF));
    }
    return s + stream;
}

bool writeExchangeSeeds(const fs::path& dir) {
    using R = fuzz::ExchangeRoutine;
    const std::string nul(1, '\0');
    struct Case {
        const char* name;
        std::string seed;
    };
    const Case cases[] = {
        {"ati-echo", exchangeSeed(R::kCommand, 256, true, 0, 2000, "ATI\r", 0, "ELM327 v2.2\r\r>")},
        {"ati-no-echo",
         exchangeSeed(R::kCommand, 256, false, 1, 2000, "ATI\r", 0, "ELM327 v2.2\r>")},
        {"ati-nul-noise", exchangeSeed(R::kCommand, 256, false, 0, 2000, "ATI\r", 0,
                                       nul + "ATI\r" + nul + "ELM3" + nul + "27 v1.5\r\r>")},
        {"versions-line",
         exchangeSeed(R::kCommandLine, 256, true, 0, 2000, "QXVERS\r", 0, "ZNB540 V1.0.3\r>")},
        {"fast-link-line",
         exchangeSeed(R::kCommandLine, 64, true, 0, 5000, "QX DLBD 02\r", 0, "OK\r")},
        {"retry-silence", exchangeSeed(R::kWithRetry, 256, true, 0, 1000, "QXUPDT03\r", 0, "")},
        {"retry-write-fails",
         exchangeSeed(R::kWithRetry, 256, true, 0, 1000, "QXUPDT03\r", 3, "OK\r>")},
        {"record-ok",
         exchangeSeed(R::kWithRetry, 300, true, 2, 5000, "QXDLDT0001AA\r", 0, "OK\r>")},
        {"record-err02",
         exchangeSeed(R::kCommand, 300, false, 0, 5000, "QXDLDT0001AA\r", 0, "ERR02\r>")},
        {"overlong",
         exchangeSeed(R::kCommand, 16, false, 0, 2000, "QXI\r", 0, std::string(40, 'A') + ">")},
        {"prompt-reply",
         exchangeSeed(R::kSendAndPrompt, 256, true, 0, 2000, "QXPROI\r", 0, "Korvane FD\r\n>")},
        {"reply-line",
         exchangeSeed(R::kReplyLine, 128, false, 0, 5000, "\r", 0, "\nZNB540 Update\r")},
        {"reply-line-prompt", exchangeSeed(R::kReplyLine, 8, false, 3, 100, "\r", 0, "OK>")},
        {"repeat-request", exchangeSeed(R::kCommand, 256, true, 0, 2000,
                                        "QXBL000102030405060708090A0B0C0D0E0F\r", 0, "RepPack\r>")},
        {"own-command",
         exchangeSeed(R::kCommand, 32, true, 0, 2000, "QXBL0A0B>C\r", 0, "QXBL0A0B>C\rOK\r>")},
    };
    for (const Case& c : cases) {
        if (!writeSeed(dir, c.name, c.seed)) {
            return false;
        }
    }
    return true;
}

bool writePortDescriptorSeeds(const fs::path& dir) {
    const char* descriptors[] = {
        "com|COM3:115200",
        "com|/dev/ttyUSB0:2000000",
        "tcp|192.168.0.10:35000",
        "tcp|127.0.0.1:35000",
        "com|COM1",
        "tcp||:",
        "com|x:9600|extra",
        "tcp|10.0.0.1:35000:9",
        "udp|1.2.3.4:5",
        "com| +12abc:-7",
    };
    int i = 0;
    for (const char* d : descriptors) {
        for (char control : {'\x01', '\x04', '\x00', '\x0F'}) {
            if (!writeSeed(dir, "descriptor-" + std::to_string(i++), std::string(1, control) + d)) {
                return false;
            }
        }
    }
    return true;
}

bool writeTextSeeds(const fs::path& dir) {
    const std::string nul(1, '\0');
    const std::string seeds[] = {
        std::string(".\x05\x00", 3) + "2.2.29>",
        std::string(".\x06", 2) + "5" + "V2.2.3X" + nul + "V",
        std::string(">\x04\x00", 3) + "ELM327 v2.2" + nul + "ELM327 v",
        std::string("X\x7F", 2) + "9" + "2147483648" + nul + "21474",
        std::string(" \xFF", 2) + "9" + "  -0012.3X>" + nul + "  -",
        std::string("Z\x10", 2) + "5" + "ZNB540 V1.0.3X" + nul + "ZNB540",
    };
    int i = 0;
    for (const std::string& s : seeds) {
        if (!writeSeed(dir, "text-" + std::to_string(i++), s)) {
            return false;
        }
    }
    return true;
}

bool writeFlowSeeds(const fs::path& dir) {
    for (const fuzz::NamedSeed& seed : fuzz::flowTranscriptSeeds()) {
        if (!writeSeed(dir, seed.name, seed.bytes)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: korvane-fuzz-seeds DIR\n";
        return 2;
    }
    const fs::path root = argv[1];
    struct Target {
        const char* name;
        bool (*write)(const fs::path&);
    };
    const Target targets[] = {
        {"update_file", writeUpdateFileSeeds},
        {"exchange", writeExchangeSeeds},
        {"port_descriptor", writePortDescriptorSeeds},
        {"text_routines", writeTextSeeds},
        {"flows", writeFlowSeeds},
    };
    for (const Target& t : targets) {
        std::error_code error;
        fs::create_directories(root / t.name, error);
        if (error) {
            std::cerr << "korvane-fuzz-seeds: cannot create " << (root / t.name) << "\n";
            return 1;
        }
        if (!t.write(root / t.name)) {
            return 1;
        }
    }
    std::printf("korvane-fuzz-seeds: %d seeds in %s\n", written, root.c_str());
    return 0;
}
