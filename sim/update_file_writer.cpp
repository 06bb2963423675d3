#include "sim/update_file_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <span>

namespace korvane::sim {

namespace {

constexpr std::uint8_t kLengthMask = 0xA7;
constexpr std::uint8_t kCharMask = 0x6B;
constexpr std::size_t kShortFileSize = 137;
// Family 2: the info line's strings live in bytes 7 to 62; the byte total follows.
constexpr std::size_t kStringsStart = 7;
constexpr std::size_t kTotalAt = 63;
// Family 2: sequence numbers stay below 0xFFF1, which would mark a line as the info line.
constexpr std::size_t kMaxDataLines = 0xFFF1;
// Overlong family-1 line: two digits past the longest sound one.
constexpr std::size_t kOverlongFamily1Digits = 272;

using Bytes = std::vector<std::uint8_t>;

const char* lineEndText(LineEnd end) {
    switch (end) {
        case LineEnd::Lf:
            return "\n";
        case LineEnd::Cr:
            return "\r";
        case LineEnd::CrLf:
            break;
    }
    return "\r\n";
}

std::uint8_t byteSum(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::uint8_t sum = 0;
    for (std::size_t i = from; i < to; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    }
    return sum;
}

std::uint32_t total32(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::uint32_t total = 0;
    for (std::size_t i = from; i < to; ++i) {
        total += bytes[i];
    }
    return total;
}

void putBigEndian32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value >> 24);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 16);
    bytes[at + 2] = static_cast<std::uint8_t>(value >> 8);
    bytes[at + 3] = static_cast<std::uint8_t>(value);
}

void appendMaskedString(Bytes& out, const std::string& text) {
    out.push_back(static_cast<std::uint8_t>(text.size() ^ kLengthMask));
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) ^ kCharMask));
    }
}

// Family 2: byte 67 makes the line's byte sum 0xFF.
void sealLine(Bytes& line) {
    line[kFamily2LineBytes - 1] = static_cast<std::uint8_t>(0xFF - byteSum(line, 0, 67));
}

Bytes family2DataLine(std::size_t sequence, const std::uint8_t* payload, std::size_t count,
                      std::uint8_t fill) {
    Bytes line(kFamily2LineBytes, fill);
    line[0] = 0x00;
    line[1] = static_cast<std::uint8_t>(sequence >> 8);
    line[2] = static_cast<std::uint8_t>(sequence);
    for (std::size_t i = 0; i < count; ++i) {
        line[3 + i] = payload[i];
    }
    sealLine(line);
    return line;
}

// Family 1: length, data, checksum. Built by appending, so the record's size follows the data's
// and no offset is computed that could wrap.
Bytes family1Record(std::span<const std::uint8_t> data) {
    Bytes record;
    record.reserve(2 + data.size() + 1);
    record.push_back(static_cast<std::uint8_t>(data.size() >> 8));
    record.push_back(static_cast<std::uint8_t>(data.size()));
    record.insert(record.end(), data.begin(), data.end());
    record.push_back(byteSum(record, 2, record.size()));
    return record;
}

std::string joinFile(const std::vector<std::string>& lines, LineEnd end, Defect defect) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        const bool last = i + 1 == lines.size();
        if (!(last && defect == Defect::MissingLastLineEnd)) {
            out += lineEndText(end);
        }
    }
    if (defect == Defect::ShortFile && out.size() > kShortFileSize) {
        out.resize(kShortFileSize);
    }
    return out;
}

std::vector<std::string> textsOf(const std::vector<Bytes>& lines) {
    std::vector<std::string> texts;
    texts.reserve(lines.size());
    for (const Bytes& line : lines) {
        texts.push_back(hexText(line.data(), line.size()));
    }
    return texts;
}

GeneratedUpdateFile makeFamily2(const UpdateFileRecipe& recipe) {
    GeneratedUpdateFile out;
    const std::size_t stringBytes =
        3 + recipe.productText.size() + recipe.modelName.size() + recipe.versionText.size();
    if (stringBytes > kTotalAt - kStringsStart) {
        out.error = "product, model and version texts need more than 56 bytes";
        return out;
    }
    const Bytes& payload = recipe.payload;
    std::size_t dataLines = (payload.size() + kFamily2PayloadPerLine - 1) / kFamily2PayloadPerLine;
    // Sound files have an even line count (data lines + info line).
    const bool oddWanted = recipe.defect == Defect::OddLineCount;
    const bool fillerLine = ((dataLines + 1) % 2 == 1) != oddWanted;
    const bool linesAfterInfo =
        recipe.defect == Defect::RecordsAfterInfo || recipe.defect == Defect::Type03AfterInfo;
    const std::size_t extra = linesAfterInfo ? 2 : 0;
    if (dataLines + (fillerLine ? 1 : 0) + extra > kMaxDataLines) {
        out.error = "payload too large for one family-2 file";
        return out;
    }

    std::vector<Bytes> lines;
    for (std::size_t i = 0; i < dataLines; ++i) {
        const std::size_t from = i * kFamily2PayloadPerLine;
        const std::size_t count = std::min(kFamily2PayloadPerLine, payload.size() - from);
        lines.push_back(family2DataLine(i, payload.data() + from, count, 0xFF));
    }
    if (fillerLine) {
        lines.push_back(family2DataLine(dataLines++, nullptr, 0, 0xFF));
    }
    for (const Bytes& line : lines) {
        out.image.insert(out.image.end(), line.begin() + 3, line.begin() + 67);
    }
    if (recipe.defect == Defect::Type03Line) {
        lines[0][0] = 0x03;
        sealLine(lines[0]);
    }
    if (recipe.defect == Defect::BadChecksum) {
        ++lines[0][kFamily2LineBytes - 1];
    }

    Bytes info(kFamily2LineBytes, 0x00);
    info[1] = 0xFF;
    info[2] = 0xF1;
    Bytes strings;
    appendMaskedString(strings, recipe.productText);
    appendMaskedString(strings, recipe.modelName);
    const std::size_t versionAt = kStringsStart + strings.size();
    appendMaskedString(strings, recipe.versionText);
    std::copy(strings.begin(), strings.end(), info.begin() + kStringsStart);
    if (recipe.defect == Defect::StringOverrun) {
        const std::size_t room = kTotalAt - versionAt - 1;
        info[versionAt] = static_cast<std::uint8_t>((room + 1) ^ kLengthMask);
    }
    std::uint32_t total = 0;
    for (const Bytes& line : lines) {
        total += total32(line, 0, line.size());
    }
    total += total32(info, 0, kTotalAt);
    if (recipe.defect == Defect::BadByteTotal) {
        ++total;
    }
    putBigEndian32(info, kTotalAt, total);
    sealLine(info);
    lines.push_back(info);

    const Bytes filler(kFamily2PayloadPerLine, 0xEE);
    for (std::size_t i = 0; i < extra; ++i) {
        lines.push_back(family2DataLine(dataLines++, filler.data(), filler.size(), 0xEE));
    }
    if (recipe.defect == Defect::Type03AfterInfo) {
        Bytes& first = lines[lines.size() - extra];
        first[0] = 0x03;
        sealLine(first);
    }

    out.lines = textsOf(lines);
    if (recipe.defect == Defect::OverlongLine) {
        out.lines[0] += "00";
    }
    const std::size_t sent = out.lines.size() / 2 * 2;
    for (std::size_t i = 0; i < sent; ++i) {
        out.commands.push_back("QXBL" + out.lines[i].substr(2) + "\r");
    }
    out.bytes = joinFile(out.lines, recipe.lineEnd, recipe.defect);
    return out;
}

GeneratedUpdateFile makeFamily1(const UpdateFileRecipe& recipe) {
    GeneratedUpdateFile out;
    if (recipe.defect == Defect::OddLineCount || recipe.defect == Defect::Type03Line ||
        recipe.defect == Defect::Type03AfterInfo) {
        out.error = std::string(defectName(recipe.defect)) + " applies to family 2 only";
        return out;
    }
    if (recipe.recordSize < 1 || recipe.recordSize > static_cast<int>(kFamily1MaxRecordData)) {
        out.error = "record size must be 1 to 130";
        return out;
    }
    const std::size_t infoData = 7 + recipe.productText.size() + recipe.modelName.size();
    if (infoData > kFamily1MaxRecordData) {
        out.error = "product and model texts need more than 123 bytes";
        return out;
    }

    const Bytes& payload = recipe.payload;
    const auto recordSize = static_cast<std::size_t>(recipe.recordSize);
    std::vector<Bytes> lines;
    for (std::size_t from = 0; from < payload.size(); from += recordSize) {
        const std::size_t count = std::min(recordSize, payload.size() - from);
        lines.push_back(family1Record(std::span(payload).subspan(from, count)));
    }
    out.image = payload;
    const std::size_t dataRecords = lines.size();
    if (recipe.defect == Defect::BadChecksum && dataRecords > 0) {
        ++lines[0].back();
    }

    Bytes info = {0xFF, 0xF1, 0x00, static_cast<std::uint8_t>(infoData)};
    info.push_back(0x00);  // not interpreted
    appendMaskedString(info, recipe.productText);
    const std::size_t modelAt = info.size();
    appendMaskedString(info, recipe.modelName);
    const std::size_t totalAt = info.size();
    info.resize(totalAt + 4 + 1);
    if (recipe.defect == Defect::StringOverrun) {
        const std::size_t room = totalAt - modelAt - 1;
        info[modelAt] = static_cast<std::uint8_t>((room + 1) ^ kLengthMask);
    }
    std::uint32_t total = 0;
    for (const Bytes& line : lines) {
        total += total32(line, 0, line.size());
    }
    total += total32(info, 0, totalAt);
    if (recipe.defect == Defect::BadByteTotal) {
        ++total;
    }
    putBigEndian32(info, totalAt, total);
    info[totalAt + 4] = byteSum(info, 4, totalAt + 4);
    if (recipe.defect == Defect::BadChecksum && dataRecords == 0) {
        ++info.back();
    }
    lines.push_back(info);
    if (recipe.defect == Defect::RecordsAfterInfo) {
        const Bytes filler(16, 0xEE);
        lines.push_back(family1Record(filler));
        lines.push_back(family1Record(filler));
    }

    out.lines = textsOf(lines);
    if (recipe.defect == Defect::OverlongLine) {
        out.lines[0].resize(kOverlongFamily1Digits, '0');
    }
    for (std::size_t i = 0; i < dataRecords; ++i) {
        out.commands.push_back("QXDLDT" + out.lines[i] + "\r");
    }
    out.bytes = joinFile(out.lines, recipe.lineEnd, recipe.defect);
    return out;
}

struct DefectName {
    Defect defect;
    const char* name;
};

constexpr std::array<DefectName, 11> kDefectNames = {{
    {Defect::None, "none"},
    {Defect::BadChecksum, "bad-checksum"},
    {Defect::BadByteTotal, "bad-byte-total"},
    {Defect::ShortFile, "short-file"},
    {Defect::MissingLastLineEnd, "missing-last-line-end"},
    {Defect::OddLineCount, "odd-line-count"},
    {Defect::Type03Line, "type-03-line"},
    {Defect::RecordsAfterInfo, "records-after-info"},
    {Defect::OverlongLine, "overlong-line"},
    {Defect::StringOverrun, "string-overrun"},
    {Defect::Type03AfterInfo, "type-03-after-info"},
}};

}  // namespace

GeneratedUpdateFile makeUpdateFile(const UpdateFileRecipe& recipe) {
    if (recipe.family == 1) {
        return makeFamily1(recipe);
    }
    if (recipe.family == 2) {
        return makeFamily2(recipe);
    }
    GeneratedUpdateFile out;
    out.error = "family must be 1 or 2";
    return out;
}

bool saveUpdateFile(const std::string& path, const GeneratedUpdateFile& file) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> out(std::fopen(path.c_str(), "wb"));
    if (!out) {
        return false;
    }
    const std::size_t written = std::fwrite(file.bytes.data(), 1, file.bytes.size(), out.get());
    return written == file.bytes.size() && std::fclose(out.release()) == 0;
}

std::vector<std::uint8_t> samplePayload(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> payload(size);
    std::uint32_t state = seed != 0 ? seed : 1;
    for (std::uint8_t& b : payload) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return payload;
}

std::string hexText(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(count * 2, '0');
    for (std::size_t i = 0; i < count; ++i) {
        text[2 * i] = kDigits[bytes[i] >> 4];
        text[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    return text;
}

const char* defectName(Defect defect) {
    for (const DefectName& entry : kDefectNames) {
        if (entry.defect == defect) {
            return entry.name;
        }
    }
    return "?";
}

bool parseDefect(std::string_view name, Defect& defect) {
    for (const DefectName& entry : kDefectNames) {
        if (name == entry.name) {
            defect = entry.defect;
            return true;
        }
    }
    return false;
}

const std::vector<Defect>& allDefects() {
    static const std::vector<Defect> defects = [] {
        std::vector<Defect> all;
        for (const DefectName& entry : kDefectNames) {
            all.push_back(entry.defect);
        }
        return all;
    }();
    return defects;
}

}  // namespace korvane::sim
