#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// The SHA-256 digest of `bytes` as 64 lower-case hexadecimal digits, computed by the system's
// cryptographic library (libcrypto; CNG on Windows); nothing when that library fails.
std::optional<std::string> sha256Hex(const std::vector<std::uint8_t>& bytes);

// `digest` as lower-case hexadecimal digits, two per byte.
std::string hexDigits(const std::uint8_t* digest, std::size_t size);

}  // namespace korvane
