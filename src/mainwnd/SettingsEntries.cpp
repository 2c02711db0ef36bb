#include "mainwnd/SettingsEntries.h"

#include "platform/DeviceText.h"

namespace velkor::mainwnd {

platform::StringArray MakeSettingsEntries(const update::UpdateSettings& settings) {
    platform::StringArray entries;
    for (const update::ImageKind kind : kSettingsFileOrder) {
        entries.Append(platform::Format(u"%d", settings.Enabled(kind)));
        if (const std::u16string* path = settings.Path(kind)) {
            entries.Append(*path);
        }
    }
    return entries;
}

bool ApplySettingsEntries(const platform::StringArray& entries, update::UpdateSettings& settings) {
    if (entries.Count() < kSettingsEntryCount) {
        return false;
    }
    std::size_t index = 0;
    for (const update::ImageKind kind : kSettingsFileOrder) {
        if (entries.At(index++) == u"1") {
            settings.Enabled(kind) = 1;
        }
        if (std::u16string* path = settings.Path(kind)) {
            *path = entries.At(index++);
        }
    }
    return true;
}

}  // namespace velkor::mainwnd
