#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kOutsideText = "outside the device";
constexpr int kRunTimeoutMs = 10000;

// A device directory with one of its own entries replaced as a careless or malicious user could
// leave it, one case per kind of entry and of refusal (the plain files share one check, the two
// folders another): both programs refuse it with a message naming the entry, within their time, and
// nothing outside the device is read, written or shown.
TEST(HostileDeviceEndToEnd, BothProgramsRefuseTheDeviceAndLeaveTheOutsideAlone) {
    struct Case {
        const char* name;
        const char* said;  // the refusal names the entry and what is wrong with it
        std::function<void(const fs::path& device, const fs::path& outside)> spoil;
    };
    const auto link = [](const char* entry, const char* target) {
        return [=](const fs::path& device, const fs::path& outside) {
            fs::remove_all(device / entry);
            fs::create_symlink(outside / target, device / entry);
        };
    };
    const auto fifo = [](const char* entry) {
        return [=](const fs::path& device, const fs::path&) {
            fs::remove(device / entry);
            ASSERT_EQ(::mkfifo((device / entry).c_str(), 0600), 0);
        };
    };
    const std::vector<Case> cases{
        {"a number too large", "device.json: not valid JSON",
         [](const fs::path& device, const fs::path&) { WriteHostFile(device / "device.json", R"({"a":1e999})"); }},
        {"device.json over 16 MiB", R"(device.json" is larger than 16 MiB)",
         [](const fs::path& device, const fs::path&) { fs::resize_file(device / "device.json", 17u << 20); }},
        {"device.json a FIFO", R"(device.json" is a FIFO)", fifo("device.json")},
        {"platform.reg linked", R"(platform.reg" is a link)", link("platform.reg", "text")},
        {"flash linked", R"(flash" is a link)", link("flash", "")},
        {"a region linked", R"(os.bin" is a link)", link("flash/os.bin", "text")},
        {"events.log linked", R"(events.log" is a link)", link("events.log", "text")},
        {"debug.log a socket", R"(debug.log" is a socket)",
         [](const fs::path& device, const fs::path&) {
             const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             (device / "debug.log").string().copy(address.sun_path, sizeof address.sun_path - 1);
             ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
             ::close(listener);
         }},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        QTemporaryDir temporary;
        const fs::path device = fs::path(temporary.path().toStdString()) / "device";
        const fs::path outside = fs::path(temporary.path().toStdString()) / "outside";
        ASSERT_EQ(RunProgram(VELKOR_DEVICE_BINARY, {"init", QString::fromStdString(device.string())}).exitCode, 0);
        fs::create_directories(device / "flash");
        fs::create_directories(outside / "StorageCard");
        WriteHostFile(outside / "text", kOutsideText);
        testCase.spoil(device, outside);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        const QString dir = QString::fromStdString(device.string());
        for (const auto& [program, arguments] : {std::pair{QString(VELKOR_BINARY), QStringList{"--device", dir}},
                                                 {QString(VELKOR_DEVICE_BINARY), QStringList{"show", dir}}}) {
            const ProgramResult result = RunProgram(program, arguments, environment, kRunTimeoutMs);
            ASSERT_TRUE(result.finished) << program.toStdString() << " hung or crashed";
            EXPECT_EQ(result.exitCode, 1) << program.toStdString();
            const std::string said = result.standardError.toStdString() + result.standardOutput.toStdString();
            EXPECT_THAT(said, HasSubstr(testCase.said)) << program.toStdString();
            EXPECT_THAT(said, Not(HasSubstr(kOutsideText))) << program.toStdString();
        }
        EXPECT_EQ(ReadHostFile(outside / "text"), kOutsideText);
        EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 2);
        EXPECT_TRUE(fs::is_empty(outside / "StorageCard"));
    }
}

}  // namespace
}  // namespace velkor::test
