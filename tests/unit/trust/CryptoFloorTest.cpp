#include "trust/SignatureCheck.h"

#include "support/TestPki.h"

#include <gtest/gtest.h>

namespace velkor::trust {
namespace {

struct FloorCase {
    const char* name;
    // The signer's key (EC P-256 when 0) and its certificate's digest, by the root or (when not 0)
    // by an intermediate CA of an RSA key of `issuerRsaBits`.
    int rsaBits;
    const char* certificateDigest;
    int issuerRsaBits;
    // The signature's own digest; the program's signer (SHA-256) when null.
    const char* signatureDigest;
    SignatureVerdict verdict;
};

class CryptoFloorTest : public testing::TestWithParam<FloorCase> {};

TEST_P(CryptoFloorTest, TakesOnlyKeysAndDigestsOfTheSecurityLevel) {
    test::TestPki pki;
    test::CertificateProfile issuerProfile{"Velkor Test CA", -test::kDaySeconds, test::kDaySeconds,
                                          "critical,keyCertSign,cRLSign", {}, true, GetParam().issuerRsaBits};
    const test::TestIdentity issuer = pki.Issue(issuerProfile);
    test::CertificateProfile profile;
    profile.rsaBits = GetParam().rsaBits;
    profile.digest = GetParam().certificateDigest;
    const test::TestIdentity signer = pki.Issue(profile, GetParam().issuerRsaBits ? &issuer : nullptr);
    const std::string content = "{\"compatible\": \"velkor-vk100\"}";
    const std::string signature =
        GetParam().signatureDigest ? test::TestPki::SignWithDigest(signer, content, GetParam().signatureDigest)
                                   : test::TestPki::Sign(signer, content, issuer.CertificatePem());
    std::string error;
    const std::optional<Keyring> keyring = Keyring::FromPem(pki.Root().CertificatePem(), error);
    ASSERT_TRUE(keyring) << error;

    const SignatureCheck check = CheckSignature(*keyring, content, signature, std::nullopt);

    EXPECT_EQ(check.verdict, GetParam().verdict) << check.detail;
}

INSTANTIATE_TEST_SUITE_P(
    Signers, CryptoFloorTest,
    testing::Values(FloorCase{"EcP256", 0, "SHA256", 0, nullptr, SignatureVerdict::Valid},
                    FloorCase{"Rsa2048", 2048, "SHA256", 0, nullptr, SignatureVerdict::Valid},
                    FloorCase{"Rsa1024", 1024, "SHA256", 0, nullptr, SignatureVerdict::Weak},
                    FloorCase{"Rsa512", 512, "SHA256", 0, nullptr, SignatureVerdict::Weak},
                    FloorCase{"Rsa2048Issuer", 0, "SHA256", 2048, nullptr, SignatureVerdict::Valid},
                    FloorCase{"Rsa1024Issuer", 0, "SHA256", 1024, nullptr, SignatureVerdict::Weak},
                    FloorCase{"CertificateSignedWithMd5", 0, "MD5", 2048, nullptr, SignatureVerdict::Weak},
                    FloorCase{"CertificateSignedWithSha1", 0, "SHA1", 0, nullptr, SignatureVerdict::Weak},
                    FloorCase{"SignatureDigestSha384", 0, "SHA256", 0, "SHA384", SignatureVerdict::Valid},
                    FloorCase{"SignatureDigestSha1", 0, "SHA256", 0, "SHA1", SignatureVerdict::Weak},
                    FloorCase{"SignatureDigestMd5", 2048, "SHA256", 0, "MD5", SignatureVerdict::Weak}),
    [](const testing::TestParamInfo<FloorCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::trust
