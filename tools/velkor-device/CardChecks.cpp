#include "velkor-device/CardChecks.h"

#include "mainwnd/CUpdateDialog.h"
#include "platform/DeviceText.h"
#include "ui/picker/FileListBuilder.h"
#include "velkor-device/DiskRoom.h"
#include "velkor-device/OutFolderChecks.h"
#include "velkor-device/SourceImages.h"
#include "velkor-device/StorageCardFolder.h"

#include <fmt/format.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
using platform::ToUtf8;

bool SameBytes(const fs::path& first, const fs::path& second) {
    std::error_code failure;
    if (fs::equivalent(first, second, failure)) {
        return true;
    }
    if (fs::file_size(first, failure) != fs::file_size(second, failure) || failure) {
        return false;
    }
    std::ifstream left(first, std::ios::binary);
    std::ifstream right(second, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(left), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(right), std::istreambuf_iterator<char>());
}

}  // namespace

CardChecks::CardChecks(const CardRequest& request, const CardPlan& plan, const CardDevice& device)
    : request_(request), plan_(plan), device_(device) {}

std::vector<std::string> CardChecks::Problems() {
    problems_.clear();
    SourceImages sources(device_.Config());
    for (const CardFile& file : plan_.Files()) {
        const std::vector<std::string> found = sources.Problems(file.kind, file.source);
        problems_.insert(problems_.end(), found.begin(), found.end());
        CheckPathLength(file);
    }
    CheckNamesDiffer();
    CheckSettingsFileIsRead();
    const std::vector<std::string> out = OutFolderProblems(request_);
    problems_.insert(problems_.end(), out.begin(), out.end());
    CheckRoom();
    return problems_;
}

void CardChecks::CheckPathLength(const CardFile& file) {
    const std::u16string path = plan_.DevicePath(file);
    if (path.size() > ui::kMaxPathChars) {
        problems_.push_back(fmt::format(
            "{} would be {} on the device, {} characters, longer than the {} a device "
            "path holds: the {} row would not reach it; shorten the file's name",
            file.source.string(), ToUtf8(path), path.size(), ui::kMaxPathChars, update::ImageKindName(file.kind)));
    }
}

// Manual cards keep the engineer's names, and the card's file system does not tell letter cases
// apart; one file may serve two rows.
void CardChecks::CheckNamesDiffer() {
    const std::vector<CardFile>& files = plan_.Files();
    for (auto first = files.begin(); first != files.end(); ++first) {
        for (auto second = std::next(first); second != files.end(); ++second) {
            if (platform::EqualsIgnoreCase(first->name, second->name) && !SameBytes(first->source, second->source)) {
                problems_.push_back(fmt::format(
                    "{} and {} would both be {}: the {} and {} rows would write the same file", first->source.string(),
                    second->source.string(), ToUtf8(plan_.DevicePath(*second)), update::ImageKindName(first->kind),
                    update::ImageKindName(second->kind)));
            }
        }
    }
}

void CardChecks::CheckSettingsFileIsRead() {
    if (plan_.Layout() == CardLayout::Manual && !HoldsSettingsFile(device_.CardFolder())) {
        problems_.push_back(fmt::format(
            "the updater reads its settings file only from {}, but the storage card of {} is {}: a card for an "
            "update by hand would choose no row there; --auto lays the card out for the AutoUpdate folder, which "
            "the updater finds on any card",
            ToUtf8(mainwnd::kSettingsPath), device_.Name().string(),
            ToUtf8(device_.CardFolder())));
    }
}

// Checked before anything is written, so that a full disk is named as such.
void CardChecks::CheckRoom() {
    std::error_code failure;
    const fs::path place = fs::absolute(request_.out, failure).lexically_normal();
    const fs::path parent = place.has_filename() ? place.parent_path() : place.parent_path().parent_path();
    std::uintmax_t needed = 0;
    for (const CardFile& file : plan_.Files()) {
        needed += plan_.IsFirstOfItsName(file) ? BytesBelow(file.source) : 0;
    }
    if (std::optional<std::string> problem = RoomProblem(parent, needed, "the card")) {
        problems_.push_back(std::move(*problem));
    }
}

}  // namespace velkor::device_tool
