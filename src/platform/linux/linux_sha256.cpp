// The package digest from OpenSSL's libcrypto: the implementation the system maintains and
// keeps patched, and the one sha256sum's users already trust.
#include <openssl/evp.h>

#include "package/package_digest.h"

namespace quenfall {

std::optional<Sha256Digest> ComputeSha256(std::span<const std::uint8_t> bytes) {
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1 ||
        length != digest.size())
        return std::nullopt;
    return digest;
}

}  // namespace quenfall
