// clang-format off
#include "platform/windows_api.h"
#include <bcrypt.h>
// clang-format on

#include <algorithm>
#include <limits>

#include "history/sha256.h"

namespace korvane {

namespace {

// The algorithm and hash handles, closed on every way out.
struct HashHandles {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~HashHandles() {
        if (hash != nullptr) {
            BCryptDestroyHash(hash);
        }
        if (algorithm != nullptr) {
            BCryptCloseAlgorithmProvider(algorithm, 0);
        }
    }
};

bool succeeded(NTSTATUS status) {
    return status >= 0;
}

}  // namespace

std::optional<std::string> sha256Hex(const std::vector<std::uint8_t>& bytes) {
    HashHandles handles;
    if (!succeeded(
            BCryptOpenAlgorithmProvider(&handles.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !succeeded(BCryptCreateHash(handles.algorithm, &handles.hash, nullptr, 0, nullptr, 0, 0))) {
        return std::nullopt;
    }
    // BCryptHashData takes at most 4 GiB at a time.
    constexpr std::size_t kMostAtOnce = std::numeric_limits<ULONG>::max();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t part = std::min(bytes.size() - done, kMostAtOnce);
        if (!succeeded(BCryptHashData(handles.hash, const_cast<PUCHAR>(bytes.data() + done),
                                      static_cast<ULONG>(part), 0))) {
            return std::nullopt;
        }
        done += part;
    }
    std::uint8_t digest[32];
    if (!succeeded(BCryptFinishHash(handles.hash, digest, sizeof(digest), 0))) {
        return std::nullopt;
    }
    return hexDigits(digest, sizeof(digest));
}

}  // namespace korvane
