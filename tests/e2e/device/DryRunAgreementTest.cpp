#include "e2e/UpdaterSession.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

constexpr int kUpdateTimeoutSeconds = 60;

// What an update asked of the device's drivers, in order: the lines of a log or a report that
// record a control request.
std::vector<std::string> ControlRequests(const std::vector<std::string>& lines) {
    std::vector<std::string> requests;
    for (const std::string& line : lines) {
        if (const std::size_t start = line.find("device-control "); start != std::string::npos) {
            requests.push_back(line.substr(start));
        }
    }
    return requests;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

struct AgreementCase {
    const char* name;
    // How the device is made: `velkor-device init` options.
    QStringList device;
    // The card's rows and layout, from a new device's sample images.
    QStringList card;
};

class DryRunAgreementTest : public ::testing::TestWithParam<AgreementCase> {};

TEST_P(DryRunAgreementTest, TheDryRunPredictsWhatTheUpdaterDoesWithTheCardCopiedOntoTheDevice) {
    UpdaterSession session(GetParam().device);
    const QTemporaryDir temporary;
    const QString source = temporary.filePath("source");
    const QString card = temporary.filePath("card");
    ASSERT_EQ(RunProgram(VELKOR_DEVICE_BINARY, {"init", source}).exitCode, 0);
    QStringList arguments{"card", card};
    for (const QString& option : GetParam().card) {
        arguments << option;
        if (option == "--os" || option == "--app") {
            arguments << source + (option == "--os" ? "/root/StorageCard/Images/NK.bin"
                                                    : "/root/StorageCard/Images/NAPP.bin");
        }
    }
    const ProgramResult made = RunProgram(VELKOR_DEVICE_BINARY, arguments);
    ASSERT_EQ(made.exitCode, 0) << made.standardError.toStdString();

    const ProgramResult dryRun = RunProgram(
        VELKOR_DEVICE_BINARY, {"dry-run", card, "--device", QString::fromStdString(session.Device().string())});
    ASSERT_EQ(dryRun.exitCode, 0) << dryRun.standardError.toStdString();

    // As the engineer copies a card: onto what the storage card holds.
    fs::copy(card.toStdString(), session.Card(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, kUpdateTimeoutSeconds)) << "no final message";
    ASSERT_TRUE(session.PressKeys({"Return", "Escape"}));
    ASSERT_EQ(session.WaitForExit(), 0);

    const std::vector<std::string> predicted = ControlRequests(Lines(dryRun.standardOutput.toStdString()));
    EXPECT_EQ(predicted, ControlRequests(LogTexts(ReadHostFile(session.Device() / "events.log"))));
    EXPECT_GT(predicted.size(), 4u) << "fewer than the format's requests and an image";
}

INSTANTIATE_TEST_SUITE_P(
    Cards, DryRunAgreementTest,
    ::testing::Values(
        // An earlier card's AutoUpdate folder is still on the device's card.
        AgreementCase{"AutoCardOverAnEarlierAutoUpdateFolder", {"--auto"}, {"--os"}},
        // The earlier card's images make the update run by itself, and the new settings file goes unread.
        AgreementCase{"ManualCardOverAnEarlierAutoUpdateFolder", {"--auto"}, {"--manual", "--app"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::test
