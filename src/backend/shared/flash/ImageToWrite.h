#pragma once

#include "backend/shared/CardApproval.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/flash/ImageExpectation.h"
#include "platform/File.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::shared {

// An image a flash driver is about to write, held to what the approved card lists for it. A slot is
// written straight from the card, since a slot written wrong is never booted; a region written in
// place, on a device whose approval asks for it, is written from a private copy that was checked
// before the region was touched.
class ImageToWrite {
public:
    // The image at the device path `path`, open in `file`.
    ImageToWrite(std::u16string path, std::unique_ptr<platform::File> file, CardApproval& approval);
    // An image no card lists: one slot copied into the other.
    explicit ImageToWrite(std::unique_ptr<platform::File> file);

    platform::File& Bytes() { return *file_; }
    // What the region writer holds the bytes to; null for an image the card does not list.
    ImageExpectation* Expectation() { return expectation_ ? &*expectation_ : nullptr; }

    // Before anything is written: false, with kCrc, a line on `debugLine` and the approval told,
    // when the path reached a file of the card's list other than the one the card check read.
    bool IsTheCheckedFile(ErrorState& errors, const std::function<void(std::string_view)>& debugLine);
    // Before a region written in place is touched. False, with the last error set, when the private
    // copy cannot be made or the card's bytes are not the listed ones (kCrc).
    bool KeepPrivately(ErrorState& errors);
    // After the write: a write that found bytes other than the listed ones says so on `debugLine`
    // and tells the approval, which stops the rest of the update. Answers `written`.
    bool Finish(bool written, const std::function<void(std::string_view)>& debugLine);

private:
    std::u16string path_;
    std::unique_ptr<platform::File> file_;
    CardApproval* approval_ = nullptr;
    // What the approved card lists for the image; null when it lists nothing there.
    const platform::ExpectedImage* listed_ = nullptr;
    std::optional<ImageExpectation> copyExpectation_;
    std::optional<ImageExpectation> expectation_;
};

}  // namespace velkor::shared
