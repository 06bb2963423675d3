#pragma once

// Reads a fuzz input front to back: a few header fields, then the rest as one stream. Reading
// past the end gives zeros, so every input, however short, is a complete case.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace korvane::fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t word() { return static_cast<std::uint16_t>((byte() << 8) | byte()); }
    std::uint32_t dword() {
        return (static_cast<std::uint32_t>(word()) << 16) | static_cast<std::uint32_t>(word());
    }
    // A length byte, then that many bytes (fewer when the input ends).
    std::string shortText() {
        std::size_t length = byte();
        std::string text;
        while (length-- > 0 && at_ < size_) {
            text.push_back(static_cast<char>(data_[at_++]));
        }
        return text;
    }
    std::span<const std::uint8_t> rest() {
        std::span<const std::uint8_t> tail(data_ + at_, size_ - at_);
        at_ = size_;
        return tail;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace korvane::fuzz
