#include "trust/SignatureCheck.h"

#include <openssl/err.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <array>
#include <utility>

namespace velkor::trust {
namespace {

// The store's application data: where the first chain error of a verification is kept.
constexpr int kChainErrorSlot = 0;

struct ChainErrorVerdict {
    int error;
    SignatureVerdict verdict;
};
constexpr std::array<ChainErrorVerdict, 12> kChainErrorVerdicts{{
    {X509_V_ERR_CERT_HAS_EXPIRED, SignatureVerdict::CertificateOutOfDate},
    {X509_V_ERR_CERT_NOT_YET_VALID, SignatureVerdict::CertificateOutOfDate},
    {X509_V_ERR_CERT_REVOKED, SignatureVerdict::Revoked},
    {X509_V_ERR_CRL_HAS_EXPIRED, SignatureVerdict::RevocationListOutOfDate},
    {X509_V_ERR_CRL_NOT_YET_VALID, SignatureVerdict::RevocationListOutOfDate},
    {X509_V_ERR_UNABLE_TO_GET_CRL, SignatureVerdict::RevocationUnknown},
    {X509_V_ERR_CRL_SIGNATURE_FAILURE, SignatureVerdict::RevocationUnknown},
    {X509_V_ERR_KEYUSAGE_NO_CRL_SIGN, SignatureVerdict::RevocationUnknown},
    {X509_V_ERR_INVALID_PURPOSE, SignatureVerdict::WrongPurpose},
    {X509_V_ERR_EE_KEY_TOO_SMALL, SignatureVerdict::Weak},
    {X509_V_ERR_CA_KEY_TOO_SMALL, SignatureVerdict::Weak},
    {X509_V_ERR_CA_MD_TOO_WEAK, SignatureVerdict::Weak},
}};

// The digests a signature may use: those of at least 112 bits of collision resistance, as the
// security level asks of certificates.
constexpr std::array<int, 7> kStrongDigests{NID_sha224, NID_sha256, NID_sha384, NID_sha512,
                                            NID_sha3_256, NID_sha3_384, NID_sha3_512};

// Any other chain error means the keyring does not vouch for the signer.
SignatureVerdict VerdictOfChainError(int error) {
    const auto known = std::find_if(kChainErrorVerdicts.begin(), kChainErrorVerdicts.end(),
                                    [&](const ChainErrorVerdict& entry) { return entry.error == error; });
    return known != kChainErrorVerdicts.end() ? known->verdict : SignatureVerdict::SignerUntrusted;
}

// Keeps the first error of the certificate chain for the verdict, and changes no outcome. A CRL's
// own path is verified with the same callback; its errors are not the chain's reason.
int KeepFirstChainError(int ok, X509_STORE_CTX* context) {
    auto* firstError = static_cast<int*>(X509_STORE_get_ex_data(X509_STORE_CTX_get0_store(context), kChainErrorSlot));
    if (!ok && firstError && *firstError == X509_V_OK && X509_STORE_CTX_get0_parent_ctx(context) == nullptr) {
        *firstError = X509_STORE_CTX_get_error(context);
    }
    return ok;
}

// The name of the first signer's digest that is not strong enough; empty when all are.
std::string WeakSignerDigest(CMS_ContentInfo& cms) {
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(&cms);
    for (int index = 0; index < sk_CMS_SignerInfo_num(signers); ++index) {
        X509_ALGOR* digest = nullptr;
        CMS_SignerInfo_get0_algs(sk_CMS_SignerInfo_value(signers, index), nullptr, nullptr, &digest, nullptr);
        const ASN1_OBJECT* algorithm = nullptr;
        X509_ALGOR_get0(&algorithm, nullptr, nullptr, digest);
        const int nid = OBJ_obj2nid(algorithm);
        if (std::find(kStrongDigests.begin(), kStrongDigests.end(), nid) == kStrongDigests.end()) {
            return nid == NID_undef ? std::string("an unknown digest") : std::string(OBJ_nid2sn(nid));
        }
    }
    return {};
}

// The verdict when the chain was fine but the CMS verification still failed.
SignatureVerdict VerdictOfCmsError(unsigned long code) {
    if (ERR_GET_LIB(code) != ERR_LIB_CMS) {
        return SignatureVerdict::Unreadable;
    }
    switch (ERR_GET_REASON(code)) {
        case CMS_R_VERIFICATION_FAILURE:
        case CMS_R_CONTENT_VERIFY_ERROR:
            return SignatureVerdict::ContentChanged;
        case CMS_R_SIGNER_CERTIFICATE_NOT_FOUND:
        case CMS_R_NO_SIGNERS:
            return SignatureVerdict::SignerUntrusted;
        default:
            return SignatureVerdict::Unreadable;
    }
}

std::string SignerOf(CMS_ContentInfo& cms) {
    const X509ListPtr signers(CMS_get0_signers(&cms));
    return signers && sk_X509_num(signers.get()) > 0 ? SubjectText(*sk_X509_value(signers.get(), 0)) : std::string();
}

}  // namespace

SignatureCheck CheckSignature(const Keyring& keyring, std::string_view content, std::string_view signatureDer,
                              std::optional<std::int64_t> time) {
    ERR_clear_error();
    const CmsPtr cms(d2i_CMS_bio(MemoryBio(signatureDer).get(), nullptr));
    if (!cms) {
        return {SignatureVerdict::Unreadable, TakeOpenSslError("not a CMS signature"), {}};
    }
    if (const std::string weak = WeakSignerDigest(*cms); !weak.empty()) {
        return {SignatureVerdict::Weak, "the signature's digest " + weak + " is too weak", {}};
    }
    std::string storeError;
    const X509StorePtr store = keyring.Store(time, storeError);
    if (!store) {
        return {SignatureVerdict::KeyringUnusable, storeError, {}};
    }
    int chainError = X509_V_OK;
    X509_STORE_set_ex_data(store.get(), kChainErrorSlot, &chainError);
    X509_STORE_set_verify_cb(store.get(), KeepFirstChainError);
    const BioPtr contentBio = MemoryBio(content);
    if (CMS_verify(cms.get(), nullptr, store.get(), contentBio.get(), nullptr, CMS_BINARY) == 1) {
        ERR_clear_error();
        return {SignatureVerdict::Valid, {}, SignerOf(*cms)};
    }
    if (chainError != X509_V_OK) {
        ERR_clear_error();
        return {VerdictOfChainError(chainError), X509_verify_cert_error_string(chainError), {}};
    }
    const SignatureVerdict verdict = VerdictOfCmsError(ERR_peek_error());
    return {verdict, TakeOpenSslError("the signature does not verify"), {}};
}

}  // namespace velkor::trust
