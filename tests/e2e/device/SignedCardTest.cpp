#include "platform/Sha256.h"
#include "support/ProgramRun.h"
#include "support/TestPki.h"

#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;

constexpr const char* kCompatible = "velkor-vk100";
const std::string kImage(5000, 'k');

QString Arg(const fs::path& path) { return QString::fromStdString(path.string()); }

// A temporary folder with a test CA's files (root.pem, a signer under an intermediate CA, a key of
// another signer), an OS image, and a device in "device" whose keyring holds the root.
class SigningFolder {
public:
    SigningFolder() {
        WriteHostFile(Path("root.pem"), pki_.Root().CertificatePem());
        WriteHostFile(Path("chain.pem"), intermediate_.CertificatePem());
        WriteHostFile(Path("signer.key"), signer_.KeyPem());
        WriteHostFile(Path("signer.pem"), signer_.CertificatePem());
        WriteHostFile(Path("other.key"), pki_.Issue({}).KeyPem());
        WriteHostFile(Path("NK.bin"), kImage);
        WriteHostFile(Path("both.bin"), kImage);
        const ProgramResult init = Tool({"init", Arg(Path("device"))});
        EXPECT_EQ(init.exitCode, 0) << init.standardError.toStdString();
        const fs::path config = Path("device/device.json");
        nlohmann::json document = nlohmann::json::parse(ReadHostFile(config));
        document["trust"] = {{"keyring", "keyring.pem"}, {"compatible", kCompatible}};
        WriteHostFile(config, document.dump(2));
        WriteHostFile(Path("device/keyring.pem"), pki_.Root().CertificatePem());
    }

    fs::path Path(const char* name) const { return fs::path(temporary_.path().toStdString()) / name; }
    // Runs velkor-device with "{dir}" in each argument standing for the folder.
    ProgramResult Tool(const QStringList& arguments) const {
        QStringList expanded;
        for (QString argument : arguments) {
            expanded << argument.replace("{dir}", temporary_.path());
        }
        return RunProgram(QStringLiteral(VELKOR_DEVICE_BINARY), expanded);
    }

private:
    QTemporaryDir temporary_;
    TestPki pki_;
    CertificateProfile intermediateProfile_{"Velkor Test Intermediate CA", -kDaySeconds, 365 * kDaySeconds,
                                            "critical,keyCertSign,cRLSign", "", true};
    TestIdentity intermediate_ = pki_.Issue(intermediateProfile_);
    TestIdentity signer_ = pki_.Issue({}, &intermediate_);
};

const QStringList kSigner{"--sign-key", "{dir}/signer.key", "--sign-cert", "{dir}/signer.pem", "--sign-chain",
                          "{dir}/chain.pem"};

// What velkor-device card signs, the openssl command verifies, and the device's own check takes.
TEST(SignedCard, VerifiesWithTheOpensslCommandAndPassesTheDevicesCheck) {
    const SigningFolder folder;
    const ProgramResult card =
        folder.Tool(QStringList{"card", "{dir}/card", "--device", "{dir}/device", "--os", "{dir}/NK.bin", "--version", "5"} +
                    kSigner);
    ASSERT_EQ(card.exitCode, 0) << card.standardError.toStdString();
    EXPECT_THAT(card.standardOutput.toStdString(),
                HasSubstr("lists them for \"velkor-vk100\", version 5 (SHA-256 " +
                          platform::DigestHex(platform::Sha256::Of(ReadHostFile(folder.Path("card/velkor-manifest.json")))) +
                          "); velkor-manifest.json.sig signs it as CN = Velkor Test Signer.\n"));

    const ProgramResult verify = RunProgram(
        "openssl", {"cms", "-verify", "-binary", "-inform", "DER", "-in", Arg(folder.Path("card/velkor-manifest.json.sig")),
                    "-content", Arg(folder.Path("card/velkor-manifest.json")), "-CAfile", Arg(folder.Path("root.pem")),
                    "-out", "/dev/null"});
    EXPECT_EQ(verify.exitCode, 0) << verify.standardError.toStdString();

    const ProgramResult dryRun = folder.Tool({"dry-run", "{dir}/card", "--device", "{dir}/device"});
    EXPECT_EQ(dryRun.exitCode, 0) << dryRun.standardOutput.toStdString() << dryRun.standardError.toStdString();
    EXPECT_THAT(dryRun.standardOutput.toStdString(),
                HasSubstr("signed by CN = Velkor Test Signer; compatible \"velkor-vk100\"; version 5;"));
    EXPECT_THAT(dryRun.standardOutput.toStdString(),
                HasSubstr("OS     \\StorageCard\\AutoUpdate\\NK.bin 5000 bytes, SHA-256 " +
                          platform::DigestHex(platform::Sha256::Of(kImage)) + "\n"));
}

struct RefusalCase {
    const char* name;
    // Sets the device up for the case.
    void (*prepare)(const SigningFolder& folder);
    QStringList arguments;  // after "card {dir}/card"
    std::string problem;
};

class SignedCardRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

// A card its device would refuse is not made.
TEST_P(SignedCardRefusalTest, NamesWhyTheDeviceWouldRefuseItAndMakesNoCard) {
    const SigningFolder folder;
    if (GetParam().prepare) {
        GetParam().prepare(folder);
    }
    const ProgramResult card = folder.Tool(QStringList{"card", "{dir}/card"} + GetParam().arguments);
    EXPECT_EQ(card.exitCode, 1);
    EXPECT_THAT(card.standardError.toStdString(), HasSubstr(GetParam().problem));
    EXPECT_FALSE(fs::exists(folder.Path("card")));
}

INSTANTIATE_TEST_SUITE_P(
    Cards, SignedCardRefusalTest,
    testing::Values(
        RefusalCase{"WithoutADeviceFamily", nullptr, QStringList{"--os", "{dir}/NK.bin", "--version", "1"} + kSigner,
                    "a signed card needs --compatible TEXT, or --device DIR of a device with a trust configuration"},
        RefusalCase{"KeyOfAnotherSigner", nullptr,
                    {"--os", "{dir}/NK.bin", "--version", "1", "--compatible", "x", "--sign-key", "{dir}/other.key",
                     "--sign-cert", "{dir}/signer.pem"},
                    "the signing key does not belong to the signing certificate"},
        RefusalCase{"KeyNotThere", nullptr,
                    {"--os", "{dir}/NK.bin", "--version", "1", "--compatible", "x", "--sign-key", "{dir}/none.key",
                     "--sign-cert", "{dir}/signer.pem"},
                    "cannot read the signing key"},
        RefusalCase{"ForAnotherDeviceFamily", nullptr,
                    {"--os", "{dir}/NK.bin", "--device", "{dir}/device", "--compatible", "velkor-vk200"},
                    "is \"velkor-vk100\": it refuses a card for \"velkor-vk200\""},
        RefusalCase{"OlderThanTheDevicesRelease",
                    [](const SigningFolder& folder) {
                        WriteHostFile(folder.Path("device/installed.json"),
                                      R"({"version": 8, "manifestSha256": ")" + std::string(64, 'c') + "\"}");
                    },
                    QStringList{"--os", "{dir}/NK.bin", "--device", "{dir}/device", "--version", "7"} + kSigner,
                    "has version 8 installed: it refuses the older version 7"},
        RefusalCase{"OneFileForTwoSignedRows", nullptr,
                    QStringList{"--manual", "--os", "{dir}/both.bin", "--app", "{dir}/both.bin", "--version", "1",
                                "--compatible", "x"} +
                        kSigner,
                    "would serve the App row from a file the manifest lists for another row"},
        RefusalCase{"DeviceFamilyTooLong", nullptr,
                    {"--os", "{dir}/NK.bin", "--compatible", QString(129, 'x')},
                    "velkor-manifest.json would not read on a device: \"compatible\" must be a text of 1 to 128 "
                    "characters"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(SignedCard, ADryRunOfACardTheDeviceRefusesRunsNothing) {
    const SigningFolder folder;
    const ProgramResult card = folder.Tool({"card", "{dir}/card", "--device", "{dir}/device", "--os", "{dir}/NK.bin"});
    ASSERT_EQ(card.exitCode, 0) << card.standardError.toStdString();

    const ProgramResult dryRun = folder.Tool({"dry-run", "{dir}/card", "--device", "{dir}/device"});
    const std::string report = dryRun.standardOutput.toStdString();
    EXPECT_EQ(dryRun.exitCode, 1) << report;
    EXPECT_THAT(report, ContainsRegex("  Card refused \\(no-signature\\): the device would change nothing\n"
                                      " +Card refused, no-signature: the card has no velkor-manifest.json.sig\n"
                                      " +card-refused no-signature\n"
                                      "The final message: \"The card's manifest is not signed."));
    EXPECT_THAT(report, ::testing::Not(HasSubstr("Formatting"))) << "nothing ran after the refusal";
}

TEST(SignedCard, ShowTellsTheTrustConfigurationAndTheInstalledRelease) {
    const SigningFolder folder;
    const std::string digest(64, 'c');
    WriteHostFile(folder.Path("device/installed.json"), R"({"version": 8, "manifestSha256": ")" + digest + "\"}");

    const ProgramResult show = folder.Tool({"show", "{dir}/device"});
    ASSERT_EQ(show.exitCode, 0) << show.standardError.toStdString();
    EXPECT_THAT(show.standardOutput.toStdString(),
                ContainsRegex("Trust: +compatible \"velkor-vk100\", validity device-clock\n"
                              "  keyring .*/device/keyring.pem: 1 certificate\\(s\\), 0 CRL\\(s\\)\n"
                              "  installed, in .*/device/installed.json: version 8, manifest SHA-256 " +
                              digest + "\n"));
}

}  // namespace
}  // namespace velkor::test
