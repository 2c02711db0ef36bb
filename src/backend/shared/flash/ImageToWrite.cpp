#include "backend/shared/flash/ImageToWrite.h"

#include "backend/shared/flash/PrivateImageCopy.h"
#include "platform/DeviceText.h"

#include <fmt/format.h>

namespace velkor::shared {

ImageToWrite::ImageToWrite(std::u16string path, std::unique_ptr<platform::File> file, CardApproval& approval)
    : path_(std::move(path)), file_(std::move(file)), approval_(&approval), listed_(approval.Find(path_, file_->Identity())) {
    if (listed_) {
        expectation_.emplace(*listed_);
    }
}

ImageToWrite::ImageToWrite(std::unique_ptr<platform::File> file) : file_(std::move(file)) {}

bool ImageToWrite::IsTheCheckedFile(ErrorState& errors, const std::function<void(std::string_view)>& debugLine) {
    if (!listed_ || file_->Identity() == listed_->identity) {
        return true;
    }
    debugLine(fmt::format("{} is not the file the card check read as {}", platform::ToUtf8(path_),
                          platform::ToUtf8(listed_->devicePath)));
    approval_->NoteMismatch();
    return errors.Fail(platform::error::kCrc);
}

bool ImageToWrite::KeepPrivately(ErrorState& errors) {
    if (!listed_ || !approval_->PrivateCopies()) {
        return true;
    }
    // The copy is checked as it is made; the write then answers for the region's bytes alone.
    copyExpectation_.emplace(*listed_);
    std::unique_ptr<platform::File> copy = MakePrivateCopy(*file_, *copyExpectation_, errors);
    if (!copy) {
        return false;
    }
    file_ = std::move(copy);
    return true;
}

bool ImageToWrite::Finish(bool written, const std::function<void(std::string_view)>& debugLine) {
    for (const std::optional<ImageExpectation>* expectation : {&copyExpectation_, &expectation_}) {
        if (!written && *expectation && !(*expectation)->Mismatch().empty()) {
            debugLine(fmt::format("{} is not the image the card's manifest lists: {}", platform::ToUtf8(path_),
                                  (*expectation)->Mismatch()));
            approval_->NoteMismatch();
            return written;
        }
    }
    return written;
}

}  // namespace velkor::shared
