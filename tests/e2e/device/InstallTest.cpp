#include "support/ProgramRun.h"
#include "support/TestPki.h"

#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kImage(5000, 'k');

struct InstallCase {
    const char* name;
    json deviceChanges;  // into device.json
    bool trusted;        // the device takes only cards signed for it
    bool signedCard;
    bool recordBlocked;  // a folder where the release record's new file goes
    bool lockHeld;       // another program drives the device
    int exitCode;
    bool osWritten;
};

class InstallTest : public ::testing::TestWithParam<InstallCase> {
protected:
    fs::path Path(const std::string& name) const { return fs::path(folder_.path().toStdString()) / name; }
    QString Arg(const std::string& name) const { return QString::fromStdString(Path(name).string()); }
    ProgramResult Tool(const QStringList& arguments) const {
        return RunProgram(QStringLiteral(VELKOR_DEVICE_BINARY), arguments);
    }

    QTemporaryDir folder_;
    TestPki pki_;
};

// What install exits with is what happened on the device, judged by its flash and logs.
TEST_P(InstallTest, ExitsWithWhatHappenedOnTheDevice) {
    const InstallCase& row = GetParam();
    ASSERT_EQ(Tool({"init", Arg("device")}).exitCode, 0);
    json config = json::parse(ReadHostFile(Path("device/device.json")));
    config.update(row.deviceChanges, true);
    if (row.trusted) {
        config["trust"] = {{"keyring", "keyring.pem"}, {"compatible", "velkor-vk100"}};
        WriteHostFile(Path("device/keyring.pem"), pki_.Root().CertificatePem());
    }
    WriteHostFile(Path("device/device.json"), config.dump(2));
    WriteHostFile(Path("NK.bin"), kImage);
    const TestIdentity signer = pki_.Issue({});
    WriteHostFile(Path("signer.key"), signer.KeyPem());
    WriteHostFile(Path("signer.pem"), signer.CertificatePem());
    QStringList card{"card", Arg("card"), "--os", Arg("NK.bin"), "--compatible", "velkor-vk100", "--version", "2"};
    if (row.signedCard) {
        card << "--sign-key" << Arg("signer.key") << "--sign-cert" << Arg("signer.pem");
    }
    ASSERT_EQ(Tool(card).exitCode, 0);
    if (row.recordBlocked) {
        fs::create_directory(Path("device/installed.json.new"));
    }
    const int lock = ::open(Path("device/velkor.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(lock, 0);
    if (row.lockHeld) {
        ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    }

    const ProgramResult install = Tool({"install", Arg("card"), "--device", Arg("device"), "--progress=json"});
    ::close(lock);

    EXPECT_EQ(install.exitCode, row.exitCode) << install.standardError.toStdString();
    std::istringstream lines(install.standardOutput.toStdString());
    json last;
    for (std::string line; std::getline(lines, line);) {
        last = json::parse(line);
    }
    if (row.osWritten) {
        EXPECT_EQ(last, (json{{"row", "OS"}, {"bytesDone", 5000}, {"bytesTotal", 5000}, {"state", "succeeded"}}));
    }
    const fs::path os = Path("device/flash/os.bin");
    EXPECT_EQ(fs::exists(os) && ReadHostFile(os).starts_with(kImage), row.osWritten);
    const std::string events = fs::exists(Path("device/events.log")) ? ReadHostFile(Path("device/events.log")) : "";
    EXPECT_EQ(events.find("card-refused") != std::string::npos, row.trusted && !row.signedCard) << events;
    if (row.deviceChanges.contains("flashRegions")) {
        EXPECT_NE(ReadHostFile(Path("device/debug.log")).find("The device has no os region"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, InstallTest,
    ::testing::Values(InstallCase{"Installed", json::object(), false, false, false, false, 0, true},
                      InstallCase{"CardRefused", json::object(), true, false, false, false, 3, false},
                      InstallCase{"RowFailed",
                                  json{{"faults", {{"flashRefusedCodes", json::array({"0x800020DC"})}}}}, false,
                                  false, false, false, 4, false},
                      InstallCase{"RegionMissing", json{{"flashRegions", {{"os", nullptr}}}}, false, false, false,
                                  false, 4, false},
                      // The release is raised before the first in-place byte: a record that cannot be written fails the row.
                      InstallCase{"RecordBlocked", json::object(), true, true, true, false, 4, false},
                      InstallCase{"DeviceBusy", json::object(), false, false, false, true, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::test
