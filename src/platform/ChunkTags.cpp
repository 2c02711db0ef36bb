#include "platform/ChunkTags.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

namespace velkor::platform {
namespace {

constexpr char kCipher[] = "AES-128-GCM";
constexpr std::size_t kNonceBytes = 12;

}  // namespace

void ChunkKey::MacFree::operator()(EVP_MAC* mac) const { EVP_MAC_free(mac); }

ChunkKey::ChunkKey() : mac_(EVP_MAC_fetch(nullptr, "GMAC", nullptr)) {
    if (!mac_) {
        throw std::runtime_error("GMAC is not available");
    }
    if (RAND_priv_bytes(key_.data(), static_cast<int>(key_.size())) != 1) {
        throw std::runtime_error("no random bytes for a chunk key");
    }
}

void ChunkTagger::ContextFree::operator()(EVP_MAC_CTX* context) const { EVP_MAC_CTX_free(context); }

ChunkTagger::ChunkTagger(const ChunkKey& key) : key_(key), context_(EVP_MAC_CTX_new(key.mac_.get())) {
    if (!context_) {
        throw std::bad_alloc();
    }
    StartChunk();
}

void ChunkTagger::Update(const char* data, std::size_t size) {
    while (size > 0) {
        const std::size_t taken = std::min<std::size_t>(size, kTaggedChunkBytes - inChunk_);
        if (EVP_MAC_update(context_.get(), reinterpret_cast<const unsigned char*>(data), taken) != 1) {
            throw std::runtime_error("GMAC failed");
        }
        inChunk_ += static_cast<std::uint32_t>(taken);
        data += taken;
        size -= taken;
        if (inChunk_ == kTaggedChunkBytes) {
            EndChunk();
            StartChunk();
        }
    }
}

std::vector<ChunkTag> ChunkTagger::Finish() {
    if (inChunk_ > 0) {
        EndChunk();
    }
    return std::move(tags_);
}

void ChunkTagger::StartChunk() {
    std::array<unsigned char, kNonceBytes> nonce{};
    const std::uint64_t index = tags_.size();
    for (std::size_t byte = 0; byte < sizeof index; ++byte) {
        nonce[byte] = static_cast<unsigned char>(index >> (8 * byte));
    }
    std::string cipher = kCipher;
    const std::array<OSSL_PARAM, 3> params{
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_CIPHER, cipher.data(), 0),
        OSSL_PARAM_construct_octet_string(OSSL_MAC_PARAM_IV, nonce.data(), nonce.size()),
        OSSL_PARAM_construct_end(),
    };
    if (EVP_MAC_init(context_.get(), key_.key_.data(), key_.key_.size(), params.data()) != 1) {
        throw std::runtime_error("GMAC cannot start a chunk");
    }
    inChunk_ = 0;
}

void ChunkTagger::EndChunk() {
    ChunkTag tag{};
    std::size_t length = 0;
    if (EVP_MAC_final(context_.get(), tag.data(), &length, tag.size()) != 1 || length != tag.size()) {
        throw std::runtime_error("GMAC cannot end a chunk");
    }
    tags_.push_back(tag);
}

}  // namespace velkor::platform
