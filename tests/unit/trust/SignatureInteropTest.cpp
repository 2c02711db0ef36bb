#include "support/ProgramRun.h"
#include "support/TestPki.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velkor::trust {
namespace {

namespace fs = std::filesystem;

// A device maker verifies signatures with the openssl command line instead of Velkor, and must
// reach the same verdict. (Signatures the command makes are taken by the device end to end.)
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

}  // namespace
}  // namespace velkor::trust
