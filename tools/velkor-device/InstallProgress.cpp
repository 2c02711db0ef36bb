#include "velkor-device/InstallProgress.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace velkor::device_tool {
namespace {

std::string_view State(const DryRunWindow::Stage& stage, bool finished) {
    if (!finished) {
        return "running";
    }
    return stage.answer == 1 ? "succeeded" : "failed";
}

}  // namespace

InstallProgress::InstallProgress(ProgressForm form, const update::UpdateSettings& settings,
                                 platform::FileSystem& files, std::ostream& out)
    : form_(form), settings_(settings), files_(files), out_(out) {}

void InstallProgress::operator()(const DryRunWindow::Stage& stage, bool finished) {
    if (stage.kind != DryRunWindow::StageKind::Row) {
        return;
    }
    const std::uint64_t total = ImageBytes(stage.row);
    const std::uint64_t done = finished && stage.answer == 1 ? total : 0;
    const std::string_view state = State(stage, finished);
    const std::string_view row = update::ImageKindName(stage.row);
    if (form_ == ProgressForm::Json) {
        const nlohmann::ordered_json line{{"row", row}, {"bytesDone", done}, {"bytesTotal", total}, {"state", state}};
        out_ << line.dump() << std::endl;
        return;
    }
    const std::u16string* path = settings_.Path(stage.row);
    out_ << fmt::format("{}: {}{} ({} of {} bytes)", row, state, path ? " " + platform::ToUtf8(*path) : std::string(),
                        done, total)
         << std::endl;
}

std::uint64_t InstallProgress::ImageBytes(update::ImageKind kind) const {
    const std::u16string* path = settings_.Path(kind);
    const std::unique_ptr<platform::File> image =
        path ? files_.OpenFile(*path, platform::FileMode::Read) : nullptr;
    return image ? image->Length() : 0;
}

}  // namespace velkor::device_tool
