// Any bytes as \StorageCard\updater.cfg: reading never fails, and the entries read survive a save
// and a second read unchanged.
#include "mainwnd/CSettingsFile.h"
#include "support/FakeFileSystem.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr std::u16string_view kPath = u"\\StorageCard\\updater.cfg";

velkor::platform::StringArray ReadEntries(velkor::test::FakeFileSystem& files) {
    velkor::platform::StringArray entries;
    velkor::mainwnd::CSettingsFile(files, std::u16string(kPath)).ReadEntries(entries);
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velkor::test::FakeFileSystem files;
    files.AddDirectory(u"\\StorageCard");
    files.AddFile(kPath, std::string(reinterpret_cast<const char*>(data), size));
    const velkor::platform::StringArray entries = ReadEntries(files);
    if (entries.Count() == 0) {
        return 0;
    }
    if (velkor::mainwnd::CSettingsFile(files, std::u16string(kPath)).WriteEntries(entries) == 0) {
        std::abort();
    }
    const velkor::platform::StringArray again = ReadEntries(files);
    if (again.Count() != entries.Count()) {
        std::abort();
    }
    for (std::size_t index = 0; index < entries.Count(); ++index) {
        if (again.At(index) != entries.At(index)) {
            std::abort();
        }
    }
    return 0;
}
