#include "platform/Sha256.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <fmt/format.h>

#include <charconv>
#include <new>
#include <stdexcept>

namespace velkor::platform {
namespace {

// OpenSSL's first queued error, and the queue left empty for whoever asks next.
std::string TakeError() {
    const char* reason = ERR_reason_error_string(ERR_get_error());
    ERR_clear_error();
    return reason ? reason : "no reason given";
}

}  // namespace

void Sha256::ContextFree::operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
    if (!context_) {
        throw std::bad_alloc();
    }
    if (EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("SHA-256 is not available: " + TakeError());
    }
}

void Sha256::Update(const void* data, std::size_t size) {
    // Only an object already finished can fail here, which is a fault of the caller's.
    if (EVP_DigestUpdate(context_.get(), data, size) != 1) {
        throw std::logic_error("SHA-256 fed after Finish: " + TakeError());
    }
}

Sha256Digest Sha256::Finish() {
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_.get(), digest.data(), &length) != 1 || length != digest.size()) {
        throw std::logic_error("SHA-256 finished twice: " + TakeError());
    }
    return digest;
}

Sha256Digest Sha256::Of(std::string_view bytes) {
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.Finish();
}

std::string DigestHex(const Sha256Digest& digest) {
    std::string hex;
    for (const std::uint8_t byte : digest) {
        hex += fmt::format("{:02x}", byte);
    }
    return hex;
}

std::optional<Sha256Digest> DigestFromHex(std::string_view hex) {
    Sha256Digest digest{};
    if (hex.size() != 2 * digest.size()) {
        return std::nullopt;
    }
    for (std::size_t index = 0; index < digest.size(); ++index) {
        const char* first = hex.data() + 2 * index;
        // Unsigned, so no sign is taken: only two hexadecimal digits fill the byte.
        const auto [end, failure] = std::from_chars(first, first + 2, digest[index], 16);
        if (failure != std::errc() || end != first + 2) {
            return std::nullopt;
        }
    }
    return digest;
}

}  // namespace velkor::platform
