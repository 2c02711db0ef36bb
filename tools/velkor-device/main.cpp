#include "backend/shared/DeviceError.h"
#include "velkor-device/CardCommand.h"
#include "velkor-device/CommandLine.h"
#include "velkor-device/DeviceReport.h"
#include "velkor-device/InitCommand.h"
#include "velkor-device/TargetReport.h"
#include "velkor-device/UsageError.h"

#include <fmt/format.h>

#include <exception>
#include <iostream>

namespace {

using namespace velkor::device_tool;

constexpr int kSuccessExit = 0;
constexpr int kFailureExit = 1;
constexpr int kUsageExit = 2;

// Each command's exit status: 0, or its own status for an outcome that is not a failure to run.
struct RequestRunner {
    int operator()(const InitRequest& request) const {
        RunInit(request, std::cout);
        return kSuccessExit;
    }
    int operator()(const ShowRequest& request) const {
        DeviceReport(request.directory).Print(std::cout);
        return kSuccessExit;
    }
    int operator()(const CheckTargetRequest& request) const {
        TargetReport report(request.file);
        report.Print(std::cout);
        if (!report.Problems().empty()) {
            throw velkor::shared::DeviceError(
                fmt::format("{}: {} problem(s), the first: {}", request.file.string(), report.Problems().size(),
                            report.Problems().front()));
        }
        return kSuccessExit;
    }
    int operator()(const CardRequest& request) const {
        RunCard(request, std::cout, std::cerr);
        return kSuccessExit;
    }
    int operator()(const DryRunRequest& request) const {
        if (!RunDryRun(request, std::cout)) {
            throw velkor::shared::DeviceError(
                fmt::format("the card {} would leave a row of the device not updated", request.card.string()));
        }
        return kSuccessExit;
    }
    int operator()(const InitTargetRequest& request) const {
        RunInitTarget(request, std::cout);
        return kSuccessExit;
    }
    int operator()(const InstallRequest& request) const {
        // Progress objects alone on stdout, so that a script reads them line by line.
        std::ostream& messages = request.progress == ProgressForm::Json ? std::cerr : std::cout;
        return static_cast<int>(RunInstall(request, std::cout, messages));
    }
    int operator()(const BootSideRequest& request) const {
        RunBootSide(request, std::cout);
        return kSuccessExit;
    }
    int operator()(const HelpRequest& request) const {
        std::cout << HelpText(request.command);
        return kSuccessExit;
    }
    int operator()(const VersionRequest&) const {
        std::cout << "velkor-device " << VELKOR_VERSION << '\n';
        return kSuccessExit;
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    try {
        return std::visit(RequestRunner{}, ParseCommandLine(arguments));
    } catch (const UsageError& error) {
        std::cerr << "velkor-device: " << error.what() << "\n\n" << UsageText(error.Command());
        return kUsageExit;
    } catch (const std::exception& error) {
        std::cerr << "velkor-device: " << error.what() << '\n';
        return kFailureExit;
    } catch (...) {
        std::cerr << "velkor-device: stopped by an unexpected failure\n";
        return kFailureExit;
    }
}
