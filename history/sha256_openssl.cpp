#include <openssl/evp.h>

#include "history/sha256.h"

namespace korvane {

std::optional<std::string> sha256Hex(const std::vector<std::uint8_t>& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    return hexDigits(digest, size);
}

}  // namespace korvane
