#pragma once

#include <openssl/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

// A SHA-256 digest fed in pieces, so that an image of any size is hashed in fixed memory.
class Sha256 {
public:
    Sha256();

    void Update(const void* data, std::size_t size);
    // The digest of everything fed so far; the object takes no more input afterwards.
    Sha256Digest Finish();

    static Sha256Digest Of(std::string_view bytes);

private:
    struct ContextFree {
        void operator()(EVP_MD_CTX* context) const;
    };

    std::unique_ptr<EVP_MD_CTX, ContextFree> context_;
};

// 64 lowercase hexadecimal digits.
std::string DigestHex(const Sha256Digest& digest);
// Exactly 64 hexadecimal digits, in either case; nothing for any other text.
std::optional<Sha256Digest> DigestFromHex(std::string_view hex);

}  // namespace velkor::platform
