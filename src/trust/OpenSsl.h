#pragma once

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <string_view>

namespace velkor::trust {

// Owning pointers for the OpenSSL objects the trust checks use.
template <auto Free>
struct OpenSslFree {
    template <typename Object>
    void operator()(Object* object) const {
        Free(object);
    }
};
struct OpenSslBufferFree {
    void operator()(void* buffer) const { OPENSSL_free(buffer); }
};
struct X509StackFree {
    void operator()(STACK_OF(X509) * stack) const { sk_X509_pop_free(stack, X509_free); }
};
// Frees the list only, for lists of certificates that others own.
struct X509ListFree {
    void operator()(STACK_OF(X509) * stack) const { sk_X509_free(stack); }
};

template <typename Buffer>
using OpenSslBuffer = std::unique_ptr<Buffer, OpenSslBufferFree>;
using BioPtr = std::unique_ptr<BIO, OpenSslFree<BIO_free_all>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, OpenSslFree<CMS_ContentInfo_free>>;
using EvpMdContextPtr = std::unique_ptr<EVP_MD_CTX, OpenSslFree<EVP_MD_CTX_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OpenSslFree<EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, OpenSslFree<X509_free>>;
using X509CrlPtr = std::unique_ptr<X509_CRL, OpenSslFree<X509_CRL_free>>;
using X509StorePtr = std::unique_ptr<X509_STORE, OpenSslFree<X509_STORE_free>>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), X509StackFree>;
using X509ListPtr = std::unique_ptr<STACK_OF(X509), X509ListFree>;

// A read-only memory BIO over `bytes`, which must outlive it.
BioPtr MemoryBio(std::string_view bytes);
// The first error in OpenSSL's queue as text ("bad decrypt"), or `fallback` when the queue is
// empty; the queue is left empty, so that one failure is never reported for the next.
std::string TakeOpenSslError(std::string_view fallback);
// A certificate's subject on one line ("CN=Velkor Signer, O=Example").
std::string SubjectText(const X509& certificate);

}  // namespace velkor::trust
