#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace velkor::test {
namespace {

constexpr std::string_view kQuickStartHeading = "## Running it on a device directory";

// The arguments of each line of the README's quick start that runs velkor-device, in order;
// the updater's own line needs a display and is left to the end-to-end tests.
std::vector<QStringList> QuickStartCommands() {
    std::istringstream readme(ReadHostFile(VELKOR_SOURCE_DIR "/README.md"));
    std::string line;
    while (std::getline(readme, line) && line != kQuickStartHeading) {
    }
    while (std::getline(readme, line) && line != "```sh") {
    }
    std::vector<QStringList> commands;
    while (std::getline(readme, line) && line != "```") {
        const QStringList words =
            QString::fromStdString(line.substr(0, line.find("  #"))).split(' ', Qt::SkipEmptyParts);
        if (!words.isEmpty() && words.front().endsWith("velkor-device")) {
            commands.push_back(words.mid(1));
        }
    }
    return commands;
}

TEST(Readme, QuickStartCommandsRunAsWrittenOneAfterTheOther) {
    const std::vector<QStringList> commands = QuickStartCommands();
    for (const char* command : {"init", "show", "card", "dry-run"}) {
        EXPECT_TRUE(std::any_of(commands.begin(), commands.end(),
                                [&](const QStringList& words) { return words.value(0) == command; }))
            << "the quick start has no " << command << " line";
    }
    const QTemporaryDir folder;
    for (const QStringList& arguments : commands) {
        const ProgramResult result =
            RunProgram("/bin/sh", QStringList{"-c", "cd \"$0\" && exec \"$@\"", folder.path(), VELKOR_DEVICE_BINARY} +
                                      arguments);
        EXPECT_EQ(result.exitCode, 0) << "velkor-device " << arguments.join(' ').toStdString() << ": "
                                      << result.standardError.toStdString();
    }
}

}  // namespace
}  // namespace velkor::test
