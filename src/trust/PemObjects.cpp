#include "trust/PemObjects.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <fmt/format.h>

#include <algorithm>
#include <array>

namespace velkor::trust {
namespace {

constexpr std::string_view kCrlName = "X509 CRL";
constexpr std::array<std::string_view, 2> kCertificateNames{"CERTIFICATE", "X509 CERTIFICATE"};

// One decoded PEM block: its name ("CERTIFICATE") and its DER bytes.
struct PemBlock {
    OpenSslBuffer<char> name;
    OpenSslBuffer<char> header;
    OpenSslBuffer<unsigned char> data;
    long length = 0;
};

// The next block; nothing at the end of the text or when a block cannot be decoded (then `error`).
std::optional<PemBlock> NextBlock(BIO& bio, std::string& error) {
    char* name = nullptr;
    char* header = nullptr;
    unsigned char* data = nullptr;
    long length = 0;
    if (PEM_read_bio(&bio, &name, &header, &data, &length) == 1) {
        return PemBlock{OpenSslBuffer<char>(name), OpenSslBuffer<char>(header), OpenSslBuffer<unsigned char>(data),
                        length};
    }
    const unsigned long code = ERR_peek_last_error();
    const bool atEnd = ERR_GET_LIB(code) == ERR_LIB_PEM && ERR_GET_REASON(code) == PEM_R_NO_START_LINE;
    const std::string reason = TakeOpenSslError("a PEM block that cannot be decoded");
    if (!atEnd) {
        error = reason;
    }
    return std::nullopt;
}

bool Take(const PemBlock& block, PemObjects& objects) {
    const unsigned char* der = block.data.get();
    const std::string_view name(block.name.get());
    if (name == kCrlName) {
        X509CrlPtr crl(d2i_X509_CRL(nullptr, &der, block.length));
        if (!crl) {
            return false;
        }
        objects.revocationLists.push_back(std::move(crl));
        return true;
    }
    X509Ptr certificate(d2i_X509(nullptr, &der, block.length));
    if (!certificate) {
        return false;
    }
    objects.certificates.push_back(std::move(certificate));
    return true;
}

}  // namespace

std::optional<PemObjects> ReadPemObjects(std::string_view pem, std::string& error) {
    const BioPtr bio = MemoryBio(pem);
    PemObjects objects;
    for (std::size_t index = 1;; ++index) {
        std::optional<PemBlock> block = NextBlock(*bio, error);
        if (!block) {
            return error.empty() ? std::optional(std::move(objects)) : std::nullopt;
        }
        const std::string_view name(block->name.get());
        if (name != kCrlName && std::find(kCertificateNames.begin(), kCertificateNames.end(), name) == kCertificateNames.end()) {
            error = fmt::format("PEM block {} is a \"{}\", neither a certificate nor a CRL", index, name);
            return std::nullopt;
        }
        // Headers mark an encrypted or otherwise transformed block, whose bytes are not what they say.
        if (block->header && *block->header != '\0') {
            error = fmt::format("PEM block {} (\"{}\") has headers", index, name);
            return std::nullopt;
        }
        if (!Take(*block, objects)) {
            error = fmt::format("PEM block {} (\"{}\") does not decode: {}", index, name,
                                TakeOpenSslError("damaged DER"));
            return std::nullopt;
        }
    }
}

}  // namespace velkor::trust
