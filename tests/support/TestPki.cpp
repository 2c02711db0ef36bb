#include "support/TestPki.h"

#include "trust/ManifestSigner.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <stdexcept>

namespace velkor::test {
namespace {

void Require(bool done, const char* what) {
    if (!done) {
        throw std::runtime_error(std::string("test PKI: ") + what + ": " + trust::TakeOpenSslError("failed"));
    }
}

template <typename Write>
std::string PemOf(Write write) {
    const trust::BioPtr out(BIO_new(BIO_s_mem()));
    Require(out && write(out.get()) == 1, "PEM output");
    char* text = nullptr;
    const long length = BIO_get_mem_data(out.get(), &text);
    return std::string(text, static_cast<std::size_t>(length));
}

void AddExtension(X509& certificate, const X509* issuer, int nid, const std::string& value) {
    if (value.empty()) {
        return;
    }
    X509V3_CTX context;
    X509V3_set_ctx(&context, const_cast<X509*>(issuer), &certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_nconf_nid(nullptr, &context, nid, value.c_str());
    Require(extension != nullptr, "extension");
    Require(X509_add_ext(&certificate, extension, -1) == 1, "adding an extension");
    X509_EXTENSION_free(extension);
}

trust::EvpPkeyPtr NewKey(int rsaBits = 0) {
    trust::EvpPkeyPtr key(rsaBits ? EVP_RSA_gen(static_cast<unsigned>(rsaBits)) : EVP_EC_gen("P-256"));
    Require(key != nullptr, "key");
    return key;
}

// A certificate for `key`, signed by `issuerKey`; `issuer` null makes it self-signed.
trust::X509Ptr MakeCertificate(const CertificateProfile& profile, long serial, EVP_PKEY& key, const X509* issuer,
                               EVP_PKEY& issuerKey) {
    trust::X509Ptr certificate(X509_new());
    Require(certificate && X509_set_version(certificate.get(), X509_VERSION_3) == 1, "certificate");
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), profile.notBefore);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), profile.notAfter);
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(profile.commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(certificate.get(), issuer ? X509_get_subject_name(issuer) : name);
    X509_set_pubkey(certificate.get(), &key);
    const X509* signer = issuer ? issuer : certificate.get();
    AddExtension(*certificate, signer, NID_basic_constraints, profile.isCa ? "critical,CA:TRUE" : "CA:FALSE");
    AddExtension(*certificate, signer, NID_key_usage, profile.keyUsage);
    AddExtension(*certificate, signer, NID_ext_key_usage, profile.extendedKeyUsage);
    AddExtension(*certificate, signer, NID_subject_key_identifier, "hash");
    AddExtension(*certificate, signer, NID_authority_key_identifier, "keyid:always");
    Require(X509_sign(certificate.get(), &issuerKey, EVP_get_digestbyname(profile.digest)) > 0, "signing a certificate");
    return certificate;
}

CertificateProfile RootProfile(std::string_view name) {
    return {std::string(name), -kDaySeconds, 3650 * kDaySeconds, "critical,keyCertSign,cRLSign", {}, true};
}

}  // namespace

std::string TestIdentity::KeyPem() const {
    return PemOf([&](BIO* out) { return PEM_write_bio_PrivateKey(out, key.get(), nullptr, nullptr, 0, nullptr, nullptr); });
}

std::string TestIdentity::CertificatePem() const {
    return PemOf([&](BIO* out) { return PEM_write_bio_X509(out, certificate.get()); });
}

TestPki::TestPki(std::string_view rootName) {
    root_.key = NewKey();
    root_.certificate = MakeCertificate(RootProfile(rootName), nextSerial_++, *root_.key, nullptr, *root_.key);
}

TestIdentity TestPki::Issue(const CertificateProfile& profile, const TestIdentity* issuer) {
    const TestIdentity& by = issuer ? *issuer : root_;
    TestIdentity identity;
    identity.key = NewKey(profile.rsaBits);
    identity.certificate = MakeCertificate(profile, nextSerial_++, *identity.key, by.certificate.get(), *by.key);
    return identity;
}

std::string TestPki::CrlPem(const std::vector<const TestIdentity*>& revoked, std::int64_t nextUpdate) const {
    const trust::X509CrlPtr crl(X509_CRL_new());
    Require(crl && X509_CRL_set_version(crl.get(), X509_CRL_VERSION_2) == 1, "CRL");
    X509_CRL_set_issuer_name(crl.get(), X509_get_subject_name(root_.certificate.get()));
    const std::time_t now = std::time(nullptr);
    const std::unique_ptr<ASN1_TIME, trust::OpenSslFree<ASN1_TIME_free>> lastUpdate(
        ASN1_TIME_adj(nullptr, now, -1, 0));
    const std::unique_ptr<ASN1_TIME, trust::OpenSslFree<ASN1_TIME_free>> next(
        ASN1_TIME_adj(nullptr, now, 0, static_cast<long>(nextUpdate)));
    X509_CRL_set1_lastUpdate(crl.get(), lastUpdate.get());
    X509_CRL_set1_nextUpdate(crl.get(), next.get());
    for (const TestIdentity* identity : revoked) {
        X509_REVOKED* entry = X509_REVOKED_new();
        X509_REVOKED_set_serialNumber(entry, X509_get_serialNumber(identity->certificate.get()));
        X509_REVOKED_set_revocationDate(entry, lastUpdate.get());
        X509_CRL_add0_revoked(crl.get(), entry);
    }
    X509_CRL_sort(crl.get());
    Require(X509_CRL_sign(crl.get(), root_.key.get(), EVP_sha256()) > 0, "signing the CRL");
    return PemOf([&](BIO* out) { return PEM_write_bio_X509_CRL(out, crl.get()); });
}

std::string TestPki::Sign(const TestIdentity& signer, std::string_view content, std::string_view chainPem) {
    std::string error;
    const std::optional<trust::ManifestSigner> manifestSigner =
        trust::ManifestSigner::FromPem(signer.KeyPem(), signer.CertificatePem(), chainPem, error);
    Require(manifestSigner.has_value(), error.c_str());
    const std::optional<std::string> signature = manifestSigner->Sign(content, error);
    Require(signature.has_value(), error.c_str());
    return *signature;
}

std::string TestPki::SignWithDigest(const TestIdentity& signer, std::string_view content, const char* digest) {
    const unsigned flags = CMS_BINARY | CMS_DETACHED | CMS_PARTIAL;
    const trust::CmsPtr cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags));
    Require(cms && CMS_add1_signer(cms.get(), signer.certificate.get(), signer.key.get(),
                                   EVP_get_digestbyname(digest), flags) != nullptr,
            "a signer");
    Require(CMS_final(cms.get(), trust::MemoryBio(content).get(), nullptr, flags) == 1, "signing");
    unsigned char* der = nullptr;
    const int length = i2d_CMS_ContentInfo(cms.get(), &der);
    Require(length > 0, "DER output");
    const trust::OpenSslBuffer<unsigned char> owned(der);
    return std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
}

}  // namespace velkor::test
