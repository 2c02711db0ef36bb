#pragma once

#include "trust/OpenSsl.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::test {

inline constexpr std::int64_t kDaySeconds = 24 * 60 * 60;

// What a certificate the test PKI issues is like; times are seconds from now.
struct CertificateProfile {
    std::string commonName = "Velkor Test Signer";
    std::int64_t notBefore = -kDaySeconds;
    std::int64_t notAfter = 365 * kDaySeconds;
    // OpenSSL's extension syntax; empty leaves the extension out.
    std::string keyUsage = "critical,digitalSignature";
    std::string extendedKeyUsage;
    bool isCa = false;
    // The certificate's key: RSA of this many bits, or EC P-256 when 0; and its issuer's digest.
    int rsaBits = 0;
    const char* digest = "SHA256";
};

// A key and its certificate.
struct TestIdentity {
    trust::EvpPkeyPtr key;
    trust::X509Ptr certificate;

    std::string KeyPem() const;
    std::string CertificatePem() const;
};

// A certificate authority made afresh for a test (EC P-256 keys, so it is quick): no private key is
// ever kept in the tree.
class TestPki {
public:
    // A self-signed root CA, valid from yesterday for ten years.
    explicit TestPki(std::string_view rootName = "Velkor Test Root CA");

    const TestIdentity& Root() const { return root_; }
    // A certificate of `profile` issued by `issuer` (the root when null).
    TestIdentity Issue(const CertificateProfile& profile, const TestIdentity* issuer = nullptr);
    // The root's CRL revoking `revoked`, whose next update is `nextUpdate` seconds from now.
    std::string CrlPem(const std::vector<const TestIdentity*>& revoked, std::int64_t nextUpdate) const;

    // The detached DER signature of `content` by `signer`, made by the program's own signer.
    static std::string Sign(const TestIdentity& signer, std::string_view content, std::string_view chainPem = {});
    // The same, made by OpenSSL directly with the signature digest `digest` ("SHA1").
    static std::string SignWithDigest(const TestIdentity& signer, std::string_view content, const char* digest);

private:
    TestIdentity root_;
    long nextSerial_ = 1;
};

}  // namespace velkor::test
