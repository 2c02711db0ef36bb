#include "trust/SignatureCheck.h"

#include "support/ProgramRun.h"
#include "support/TestPki.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velkor::trust {
namespace {

namespace fs = std::filesystem;

// A device maker verifies (and makes) signatures with the openssl command line instead of Velkor:
// both must agree on every signature, so each side is checked by the other.
class SignatureInterop : public testing::Test {
protected:
    fs::path File(const char* name, const std::string& bytes) const {
        const fs::path path = fs::path(folder_.path().toStdString()) / name;
        test::WriteHostFile(path, bytes);
        return path;
    }
    test::ProgramResult Openssl(const QStringList& arguments) const {
        return test::RunProgram(QStringLiteral("openssl"), QStringList{"cms"} + arguments);
    }

    QTemporaryDir folder_;
    test::TestPki pki;
    const std::string manifest = "{\"compatible\": \"velkor-vk100\"}\n";
};

TEST_F(SignatureInterop, TheProgramsSignatureVerifiesWithTheOpensslCommandAndNotOnceChanged) {
    const fs::path content = File("velkor-manifest.json", manifest);
    const fs::path changed = File("changed.json", manifest + " ");
    const fs::path signature = File("velkor-manifest.json.sig", test::TestPki::Sign(pki.Issue({}), manifest));
    const fs::path keyring = File("keyring.pem", pki.Root().CertificatePem());
    const auto verify = [&](const fs::path& file) {
        return Openssl({"-verify", "-binary", "-inform", "DER", "-in", QString::fromStdString(signature.string()),
                        "-content", QString::fromStdString(file.string()), "-CAfile",
                        QString::fromStdString(keyring.string()), "-out", "/dev/null"})
            .exitCode;
    };
    EXPECT_EQ(verify(content), 0);
    EXPECT_NE(verify(changed), 0);
}

TEST_F(SignatureInterop, TheOpensslCommandsSignatureVerifiesHereForItsSigningPurposeOnly) {
    struct Case {
        const char* name;
        test::CertificateProfile profile;
        SignatureVerdict verdict;
    };
    test::CertificateProfile codeSigning;
    codeSigning.extendedKeyUsage = "codeSigning";
    test::CertificateProfile emailToo;
    emailToo.extendedKeyUsage = "codeSigning,emailProtection";
    for (const Case& testCase : {Case{"no extended key usage", {}, SignatureVerdict::Valid},
                                 Case{"codeSigning alone", codeSigning, SignatureVerdict::WrongPurpose},
                                 Case{"emailProtection among others", emailToo, SignatureVerdict::Valid}}) {
        SCOPED_TRACE(testCase.name);
        const test::TestIdentity signer = pki.Issue(testCase.profile);
        const fs::path content = File("velkor-manifest.json", manifest);
        const fs::path signature = File("velkor-manifest.json.sig", "");
        const test::ProgramResult signing =
            Openssl({"-sign", "-binary", "-outform", "DER", "-in", QString::fromStdString(content.string()), "-signer",
                     QString::fromStdString(File("signer.pem", signer.CertificatePem()).string()), "-inkey",
                     QString::fromStdString(File("signer.key", signer.KeyPem()).string()), "-out",
                     QString::fromStdString(signature.string())});
        ASSERT_EQ(signing.exitCode, 0) << signing.standardError.toStdString();
        std::string error;
        const std::optional<Keyring> keyring = Keyring::FromPem(pki.Root().CertificatePem(), error);
        ASSERT_TRUE(keyring) << error;

        const SignatureCheck check = CheckSignature(*keyring, manifest, test::ReadHostFile(signature), std::nullopt);

        EXPECT_EQ(check.verdict, testCase.verdict) << check.detail;
    }
}

}  // namespace
}  // namespace velkor::trust
