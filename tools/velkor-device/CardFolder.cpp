#include "velkor-device/CardFolder.h"

#include "backend/shared/DeviceError.h"
#include "mainwnd/AutoUpdateDetection.h"
#include "mainwnd/CSettingsFile.h"
#include "mainwnd/CUpdateDialog.h"
#include "mainwnd/SettingsEntries.h"
#include "platform/DeviceText.h"
#include "velkor-device/CardContents.h"
#include "velkor-device/StorageCardFolder.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <system_error>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
using platform::ToUtf8;

// "\AutoUpdate\", below the root of a storage card that is the root of the file system.
std::u16string AutoUpdateFolder(std::u16string_view card) {
    return platform::Format(u"%s\\%s\\", card, mainwnd::kAutoUpdateFolder);
}

std::u16string SettingsFile(std::u16string_view card) { return platform::Format(u"%s\\%s", card, SettingsFileName()); }

// A copy onto a storage card takes plain files and folders; a link or a special file would not
// arrive as such, so the card must not rely on one.
const fs::path& PlainFolder(const fs::path& folder) {
    std::error_code failure;
    if (!fs::is_directory(folder, failure)) {
        throw shared::DeviceError(fmt::format("{} is not a card: there is no such folder", folder.string()));
    }
    for (fs::recursive_directory_iterator entry(folder, failure), end; !failure && entry != end;
         entry.increment(failure)) {
        if (entry->is_symlink() || (!entry->is_regular_file() && !entry->is_directory())) {
            throw shared::DeviceError(fmt::format(
                "{} is neither a plain file nor a folder: a storage card holds only those", entry->path().string()));
        }
    }
    if (failure) {
        throw shared::DeviceError(fmt::format("cannot read the card {}: {}", folder.string(), failure.message()));
    }
    return folder;
}

}  // namespace

CardFolder::CardFolder(fs::path folder, std::u16string deviceCardFolder)
    : folder_(std::move(folder)),
      deviceCardFolder_(std::move(deviceCardFolder)),
      files_(PlainFolder(folder_), noneDismounted_, shared::FileRules{}, errors_) {}

CardChoice CardFolder::Choice() {
    return ChooseRows(files_, AutoUpdateFolder(u""),
                      HoldsSettingsFile(deviceCardFolder_) ? SettingsFile(u"") : std::u16string());
}

std::vector<std::string> CardFolder::WhyNoRow() {
    std::vector<std::string> reasons{AutoUpdateReason(), SettingsFileReason()};
    const std::vector<std::string> nested = NestedCardReasons();
    reasons.insert(reasons.end(), nested.begin(), nested.end());
    return reasons;
}

bool CardFolder::LeavesToEarlierCard(std::u16string_view devicePath) {
    const std::size_t rootLength = deviceCardFolder_.size();
    const bool onStorageCard = devicePath.size() > rootLength + 1 && devicePath[rootLength] == u'\\' &&
                               platform::EqualsIgnoreCase(devicePath.substr(0, rootLength), deviceCardFolder_);
    return onStorageCard && files_.GetAttributes(devicePath.substr(rootLength)) == platform::kInvalidFileAttributes;
}

std::string CardFolder::AutoUpdateReason() {
    const std::u16string folder = AutoUpdateFolder(u"");
    if (files_.GetAttributes(folder) == platform::kInvalidFileAttributes) {
        return fmt::format("{} has no {} folder", folder_.string(), ToUtf8(mainwnd::kAutoUpdateFolder));
    }
    std::vector<std::string> names;
    for (const update::ImageKind kind : mainwnd::kSettingsFileOrder) {
        if (const std::optional<std::u16string_view> name = mainwnd::AutoUpdateFileName(kind)) {
            names.push_back(ToUtf8(*name));
        }
    }
    return fmt::format("{}/{} holds none of the names the updater looks for there ({})", folder_.string(),
                       ToUtf8(mainwnd::kAutoUpdateFolder), fmt::join(names, ", "));
}

std::string CardFolder::SettingsFileReason() {
    const std::string file = fmt::format("{}/{}", folder_.string(), ToUtf8(SettingsFileName()));
    if (!HoldsSettingsFile(deviceCardFolder_)) {
        return fmt::format("the updater reads its settings file only from {}, which is not on this device's "
                           "storage card {}",
                           ToUtf8(mainwnd::kSettingsPath), ToUtf8(deviceCardFolder_));
    }
    if (files_.GetAttributes(SettingsFile(u"")) == platform::kInvalidFileAttributes) {
        return fmt::format("{} has no {}, where the updater reads its settings file", folder_.string(),
                           ToUtf8(SettingsFileName()));
    }
    platform::StringArray entries;
    mainwnd::CSettingsFile(files_, SettingsFile(u"")).ReadEntries(entries);
    if (entries.Count() < mainwnd::kSettingsEntryCount) {
        return fmt::format("{} holds {} entries; the updater applies it only with {}", file, entries.Count(),
                           mainwnd::kSettingsEntryCount);
    }
    return fmt::format("{} ticks no row", file);
}

std::vector<std::string> CardFolder::NestedCardReasons() {
    std::vector<std::string> reasons;
    std::error_code failure;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, failure)) {
        const std::u16string inner = u"\\" + platform::FromUtf8(entry.path().filename().string());
        const bool holdsCard = files_.GetAttributes(AutoUpdateFolder(inner)) != platform::kInvalidFileAttributes ||
                               files_.GetAttributes(SettingsFile(inner)) != platform::kInvalidFileAttributes;
        if (entry.is_directory() && holdsCard) {
            reasons.push_back(
                fmt::format("{} holds a card one folder down: copy what it holds instead", entry.path().string()));
        }
    }
    return reasons;
}

}  // namespace velkor::device_tool
