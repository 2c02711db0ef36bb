#pragma once

#include "backend/shared/CardApproval.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/ForwardingFileSystem.h"
#include "backend/shared/flash/ImageExpectation.h"
#include "platform/FileSystem.h"

#include <functional>
#include <optional>
#include <string_view>

namespace velkor::shared {

// The device's file system, with copies of the images the approved card lists held to it (the second
// logo's copy into the data volume): the copy, read back once it is made, must have the listed size
// and SHA-256, or it is deleted and the copy fails with kCrc, a debug line says why, and the approval
// learns of it. The copy needs no private copy first: nothing uses it before it is checked, and the
// data volume it lands on was formatted by the update anyway. Everything else passes through.
class CheckedCopyFileSystem : public ForwardingFileSystem {
public:
    CheckedCopyFileSystem(platform::FileSystem& fileSystem, CardApproval& approval, ErrorState& errors,
                          std::function<void(std::string_view)> debugLine);

    bool CopyFile(std::u16string_view from, std::u16string_view to) override;

private:
    // Which file `path` reaches; nothing when it does not open (the copy then fails as it will).
    std::optional<platform::FileIdentity> IdentityOf(std::u16string_view path);
    // Feeds the file's bytes to `expectation`; false with the last error set.
    bool ReadBack(std::u16string_view path, ImageExpectation& expectation);
    // The copy's bytes against what is listed; false with the last error set.
    bool CheckCopy(std::u16string_view from, std::u16string_view to, const platform::ExpectedImage& listed);

    CardApproval& approval_;
    ErrorState& errors_;
    std::function<void(std::string_view)> debugLine_;
};

}  // namespace velkor::shared
