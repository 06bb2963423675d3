// The format checks of both update-file families. Each walks the loaded buffer once with the line
// reader, converting one line at a time into fixed buffers; the file is never copied.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "engine/model_catalog.h"
#include "engine/update_file.h"

namespace korvane {

namespace {

// Family 1: the information record needs at least its first byte, two length bytes and the total.
constexpr std::size_t kMinInfoData = 7;
// Family 2: bytes per line, where the strings start, and where the byte total sits.
constexpr std::size_t kLineBytes = 68;
constexpr std::size_t kStringsStart = 7;
constexpr std::size_t kTotalAt = 63;

std::int32_t usableSize(const UpdateFile& file) {
    const auto held = static_cast<std::int64_t>(file.data.size());
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(file.size, 0, held));
}

std::uint32_t readBigEndian32(const std::uint8_t* bytes) {
    return (static_cast<std::uint32_t>(bytes[0]) << 24) |
           (static_cast<std::uint32_t>(bytes[1]) << 16) |
           (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
}

// Reads one masked string whose length byte sits at `at` into `field`. The string must end before
// `end` and fit the field's 127 characters. On success `at` moves past the string.
bool readMaskedString(const std::uint8_t* bytes, std::size_t& at, std::size_t end,
                      char (&field)[128]) {
    field[0] = '\0';
    if (at >= end) {
        return false;
    }
    const std::size_t length = bytes[at] ^ kLengthMask;
    if (length > sizeof field - 1 || length > end - at - 1) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        field[i] = static_cast<char>(bytes[at + 1 + i] ^ kCharMask);
    }
    field[length] = '\0';
    at += 1 + length;
    return true;
}

bool isLineEnd(std::uint8_t c) {
    return c == '\r' || c == '\n';
}

bool isHexDigit(std::uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool fail(FileCheck* check, FormatFault fault, std::int64_t stated, std::int64_t found) {
    if (check != nullptr) {
        check->fault = fault;
        check->stated = stated;
        check->found = found;
    }
    return false;
}

// Places `check` on the line that starts at `start` and gives it back.
FileCheck& onLine(FileCheck& check, int family, const std::uint8_t* data, std::int32_t size,
                  std::int32_t start) {
    check.family = family;
    check.line = editorLineAt(data, size, start);
    return check;
}

// A family-2 line is 136 hex digits and then exactly one line end: CR LF, CR or LF. Given that
// the line holds 136 digits, a line end right after the 136th character means every character
// before it was a digit. When it is not sound, says what is wrong and on which line.
bool isSoundFamily2Line(const std::uint8_t* data, std::int32_t size, std::int32_t start,
                        std::int32_t next, std::size_t digits, FileCheck* check) {
    const std::int32_t length = next - start;
    const std::int32_t end = start + static_cast<std::int32_t>(kMaxFamily2Digits);
    if (digits == kMaxFamily2Digits) {
        if (length == static_cast<std::int32_t>(kMaxFamily2Digits) + 1 && isLineEnd(data[end])) {
            return true;
        }
        if (length == static_cast<std::int32_t>(kMaxFamily2Digits) + 2 && data[end] == '\r' &&
            data[end + 1] == '\n') {
            return true;
        }
    }
    if (check == nullptr) {
        return false;
    }
    check->family = 2;
    check->line = editorLineAt(data, size, start);
    // The first character on the line that is neither a digit nor a line end.
    std::int32_t at = start;
    while (at < size && !isLineEnd(data[at]) && isHexDigit(data[at])) {
        ++at;
    }
    if (at < size && !isLineEnd(data[at])) {
        return fail(check, FormatFault::NotHexDigit, at - start + 1, data[at]);
    }
    if (digits > kMaxFamily2Digits) {
        return fail(check, FormatFault::TooManyDigits, kMaxFamily2Digits,
                    static_cast<std::int64_t>(digits));
    }
    if (digits < kMaxFamily2Digits) {
        if (digits == 0) {
            return fail(check, FormatFault::EmptyLine, kMaxFamily2Digits, 0);
        }
        return fail(check, FormatFault::TooFewDigits, kMaxFamily2Digits,
                    static_cast<std::int64_t>(digits));
    }
    if (at >= size) {
        return fail(check, FormatFault::NoLineEnd, 0, 0);
    }
    // 136 digits and then more than one line end: an empty line follows this one.
    const bool crLf = data[at] == '\r' && at + 1 < size && data[at + 1] == '\n';
    check->line = editorLineAt(data, size, at + (crLf ? 2 : 1));
    return fail(check, FormatFault::EmptyLine, kMaxFamily2Digits, 0);
}

}  // namespace

bool decodeFamily1Record(const char* text, std::size_t digits, std::size_t header,
                         std::uint8_t* bytes, std::size_t& dataLength, FileCheck* check) {
    dataLength = 0;
    const auto held = static_cast<std::int64_t>(digits);
    if (digits > kMaxFamily1Digits) {
        return fail(check, FormatFault::TooManyDigits, kMaxFamily1Digits, held);
    }
    // The length field itself must be on the line.
    if (digits < 2 * header) {
        return fail(check, FormatFault::TooFewDigits, static_cast<std::int64_t>(2 * header), held);
    }
    decodeHexText(text, digits, bytes);
    const std::size_t n = bytes[header - 2] * 256u + bytes[header - 1];
    if (n > kMaxFamily1Data) {
        return fail(check, FormatFault::RecordTooLong, static_cast<std::int64_t>(n),
                    kMaxFamily1Data);
    }
    // A line too short for its data and checksum byte would otherwise read as zeros.
    if (digits < 2 * (header + n + 1)) {
        return fail(check, FormatFault::TooFewDigits,
                    static_cast<std::int64_t>(2 * (header + n + 1)), held);
    }
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[header + i]);
    }
    if (sum != bytes[header + n]) {
        return fail(check, FormatFault::Checksum, bytes[header + n], sum);
    }
    dataLength = n;
    return true;
}

FileCheck checkFamily1File(UpdateFile& file) {
    const std::uint8_t* data = file.data.data();
    const std::int32_t size = usableSize(file);
    file.lineCount = 0;
    std::uint32_t total = 0;
    char text[kMaxFamily1Digits + 1];
    std::uint8_t bytes[(kMaxFamily1Digits + 1) / 2];
    std::int32_t position = 0;
    std::int32_t start = 0;
    FileCheck check;

    for (;;) {
        if (position >= size) {
            check.fault = FormatFault::NoInformation;
            return onLine(check, 1, data, size, start);
        }
        std::size_t digits = 0;
        start = position;
        position = readHexLine(data, size, position, text, sizeof text, digits);
        ++file.lineCount;
        const bool info = digits >= 4 && std::memcmp(text, "FFF1", 4) == 0;
        const std::size_t header = info ? 4 : 2;
        std::size_t n = 0;
        if (!decodeFamily1Record(text, digits, header, bytes, n, &check)) {
            return onLine(check, 1, data, size, start);
        }
        // Header, data and checksum byte all count towards the byte total.
        for (std::size_t i = 0; i < header + n + 1; ++i) {
            total += bytes[i];
        }
        const std::uint8_t checksum = bytes[header + n];
        if (!info) {
            continue;
        }

        if (n < kMinInfoData) {
            fail(&check, FormatFault::InformationTooShort, kMinInfoData,
                 static_cast<std::int64_t>(n));
            return onLine(check, 1, data, size, start);
        }
        const std::uint8_t* stored = bytes + header + n - 4;
        total -= checksum;
        total -= stored[0] + stored[1] + stored[2] + stored[3];
        if (total != readBigEndian32(stored)) {
            fail(&check, FormatFault::ByteTotal, readBigEndian32(stored), total);
            return onLine(check, 1, data, size, start);
        }
        // Strings start after the first data byte and must end before the byte total.
        std::size_t at = header + 1;
        const std::size_t end = header + n - 4;
        if (!readMaskedString(bytes, at, end, file.productText) ||
            !readMaskedString(bytes, at, end, file.modelName)) {
            check.fault = FormatFault::StringOverrun;
            return onLine(check, 1, data, size, start);
        }
        file.family = 1;
        check.family = 1;
        return check;
    }
}

bool family2LineIsSound(const std::uint8_t* data, std::int32_t size, std::int32_t start,
                        std::int32_t next, const char* text, std::size_t digits, FileCheck* check) {
    if (!isSoundFamily2Line(data, size, start, next, digits, check)) {
        return false;
    }
    std::uint8_t bytes[kLineBytes];
    decodeHexText(text, kMaxFamily2Digits, bytes);
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) {
        sum = static_cast<std::uint8_t>(sum + b);
    }
    if (sum != 0xFF) {
        if (check != nullptr) {
            check->family = 2;
            check->line = editorLineAt(data, size, start);
        }
        return fail(check, FormatFault::LineSum, 0xFF, sum);
    }
    return true;
}

FileCheck checkFamily2File(UpdateFile& file) {
    const std::uint8_t* data = file.data.data();
    const std::int32_t size = usableSize(file);
    file.lineCount = 0;
    std::uint32_t total = 0;
    char text[kMaxFamily2Digits + 1];
    std::uint8_t bytes[kLineBytes];
    std::int32_t position = 0;
    FileCheck check;

    for (;;) {
        std::size_t digits = 0;
        const std::int32_t start = position;
        position = readHexLine(data, size, position, text, sizeof text, digits);
        ++file.lineCount;
        if (!family2LineIsSound(data, size, start, position, text, digits, &check)) {
            return check;
        }
        const bool info = std::memcmp(text + 2, "FFF1", 4) == 0;
        decodeHexText(text, kMaxFamily2Digits, bytes);
        const std::size_t counted = info ? kTotalAt : kLineBytes;
        for (std::size_t i = 0; i < counted; ++i) {
            total += bytes[i];
        }
        if (!info) {
            if (position >= size) {
                check.fault = FormatFault::NoInformation;
                return onLine(check, 2, data, size, start);
            }
            continue;
        }

        if (readBigEndian32(bytes + kTotalAt) != total) {
            fail(&check, FormatFault::ByteTotal, readBigEndian32(bytes + kTotalAt), total);
            return onLine(check, 2, data, size, start);
        }
        std::size_t at = kStringsStart;
        if (!readMaskedString(bytes, at, kTotalAt, file.productText) ||
            !readMaskedString(bytes, at, kTotalAt, file.modelName) ||
            !readMaskedString(bytes, at, kTotalAt, file.versionText)) {
            check.fault = FormatFault::StringOverrun;
            return onLine(check, 2, data, size, start);
        }
        file.family = 2;
        const std::optional<std::int32_t> version = deriveFileVersion(
            file.versionText, lookupModelName(file.modelName).value_or(kModelUnknown));
        if (!version) {
            check.fault = FormatFault::NoVersionLetter;
            check.text = file.versionText;
            return onLine(check, 2, data, size, start);
        }
        file.fileVersion = *version;
        check.family = 2;
        return check;
    }
}

}  // namespace korvane
