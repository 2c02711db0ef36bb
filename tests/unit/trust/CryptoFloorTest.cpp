#include "trust/SignatureCheck.h"

#include "support/TestPki.h"

#include <gtest/gtest.h>

namespace velkor::trust {
namespace {

struct FloorCase {
    const char* name;
    // The signer's RSA bits (EC P-256 when 0), its issuing CA's (the EC root when 0), the digest
    // of its certificate, and the signature's own digest (the program's signer when null).
    int rsaBits;
    int issuerRsaBits;
    const char* certificateDigest;
    const char* signatureDigest;
    SignatureVerdict verdict;
};

class CryptoFloorTest : public testing::TestWithParam<FloorCase> {};

TEST_P(CryptoFloorTest, TakesOnlyKeysAndDigestsOfTheSecurityLevel) {
    const FloorCase& c = GetParam();
    test::TestPki pki;
    const test::TestIdentity issuer = pki.Issue({"CA", -1, 3600, "keyCertSign", {}, true, c.issuerRsaBits});
    const test::TestIdentity signer = pki.Issue({"Signer", -1, 3600, "digitalSignature", {}, false, c.rsaBits,
                                                 c.certificateDigest}, c.issuerRsaBits ? &issuer : nullptr);
    const std::string signature = c.signatureDigest ? test::TestPki::SignWithDigest(signer, "{}", c.signatureDigest)
                                                    : test::TestPki::Sign(signer, "{}", issuer.CertificatePem());
    std::string error;
    const std::optional<Keyring> keyring = Keyring::FromPem(pki.Root().CertificatePem(), error);

    EXPECT_EQ(CheckSignature(*keyring, "{}", signature, std::nullopt).verdict, c.verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Signers, CryptoFloorTest,
    testing::Values(FloorCase{"Rsa2048", 2048, 0, "SHA256", nullptr, SignatureVerdict::Valid},
                    FloorCase{"Rsa1024", 1024, 0, "SHA256", nullptr, SignatureVerdict::Weak},
                    FloorCase{"Rsa1024Issuer", 0, 1024, "SHA256", nullptr, SignatureVerdict::Weak},
                    FloorCase{"CertificateSignedWithMd5", 0, 2048, "MD5", nullptr, SignatureVerdict::Weak},
                    FloorCase{"CertificateSignedWithSha1", 0, 0, "SHA1", nullptr, SignatureVerdict::Weak},
                    FloorCase{"SignatureDigestSha384", 0, 0, "SHA256", "SHA384", SignatureVerdict::Valid},
                    FloorCase{"SignatureDigestSha1", 0, 0, "SHA256", "SHA1", SignatureVerdict::Weak},
                    FloorCase{"SignatureDigestMd5", 2048, 0, "SHA256", "MD5", SignatureVerdict::Weak}),
    [](const testing::TestParamInfo<FloorCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::trust
