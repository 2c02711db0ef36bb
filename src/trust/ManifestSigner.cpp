#include "trust/ManifestSigner.h"

#include "trust/PemObjects.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <new>

namespace velkor::trust {
namespace {

// Never asks for a passphrase: a program that signs unattended must not wait on a terminal.
int RefusePassphrase(char*, int, int, void*) { return 0; }

X509StackPtr ChainOf(PemObjects& objects) {
    X509StackPtr chain(sk_X509_new_null());
    if (!chain) {
        throw std::bad_alloc();
    }
    for (X509Ptr& certificate : objects.certificates) {
        if (sk_X509_push(chain.get(), certificate.get()) == 0) {
            throw std::bad_alloc();
        }
        certificate.release();
    }
    return chain;
}

}  // namespace

std::optional<ManifestSigner> ManifestSigner::FromPem(std::string_view keyPem, std::string_view certificatePem,
                                                      std::string_view chainPem, std::string& error) {
    EvpPkeyPtr key(PEM_read_bio_PrivateKey(MemoryBio(keyPem).get(), nullptr, RefusePassphrase, nullptr));
    if (!key) {
        error = "the signing key does not read (an encrypted key is not taken): " + TakeOpenSslError("no key");
        return std::nullopt;
    }
    X509Ptr certificate(PEM_read_bio_X509(MemoryBio(certificatePem).get(), nullptr, RefusePassphrase, nullptr));
    if (!certificate) {
        error = "the signing certificate does not read: " + TakeOpenSslError("no certificate");
        return std::nullopt;
    }
    if (X509_check_private_key(certificate.get(), key.get()) != 1) {
        error = "the signing key does not belong to the signing certificate";
        ERR_clear_error();
        return std::nullopt;
    }
    std::optional<PemObjects> chain = ReadPemObjects(chainPem, error);
    if (!chain) {
        error = "the certificate chain does not read: " + error;
        return std::nullopt;
    }
    return ManifestSigner(std::move(key), std::move(certificate), ChainOf(*chain));
}

std::optional<std::string> ManifestSigner::Sign(std::string_view content, std::string& error) const {
    const CmsPtr cms(CMS_sign(certificate_.get(), key_.get(), chain_.get(), MemoryBio(content).get(),
                              CMS_BINARY | CMS_DETACHED));
    const BioPtr out(BIO_new(BIO_s_mem()));
    if (!cms || !out || i2d_CMS_bio(out.get(), cms.get()) != 1) {
        error = "the manifest cannot be signed: " + TakeOpenSslError("no signature");
        return std::nullopt;
    }
    char* der = nullptr;
    const long length = BIO_get_mem_data(out.get(), &der);
    return std::string(der, static_cast<std::size_t>(length));
}

}  // namespace velkor::trust
