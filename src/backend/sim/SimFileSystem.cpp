#include "backend/sim/SimFileSystem.h"

#include "backend/shared/AttributeRules.h"
#include "backend/shared/PathResolver.h"
#include "backend/sim/SizeLimitedFile.h"

#include <algorithm>

namespace velkor::sim {

namespace error = platform::error;

SimFileSystem::SimFileSystem(shared::FolderFileSystem& files, const FaultSwitches& faults, shared::ErrorState& errors)
    : files_(files), moveFails_(faults.moveFails), sizeLimit_(faults.fileSizeLimit), errors_(errors) {
    for (const std::u16string& file : faults.openFails) {
        openFails_.push_back(shared::AttributeRules::Key(shared::PathResolver::SplitComponents(file)));
    }
}

std::uint32_t SimFileSystem::GetAttributes(std::u16string_view path) { return files_.GetAttributes(path); }

bool SimFileSystem::CreateDirectory(std::u16string_view path) { return files_.CreateDirectory(path); }

bool SimFileSystem::CopyFile(std::u16string_view from, std::u16string_view to) {
    if (ExceedsSizeLimit(from)) {
        return errors_.Fail(error::kDiskFull);
    }
    return files_.CopyFile(from, to);
}

bool SimFileSystem::DeleteFile(std::u16string_view path) { return files_.DeleteFile(path); }

bool SimFileSystem::MoveFile(std::u16string_view from, std::u16string_view to) {
    if (moveFails_) {
        return errors_.Fail(error::kAccessDenied);
    }
    return files_.MoveFile(from, to);
}

std::unique_ptr<platform::File> SimFileSystem::OpenFile(std::u16string_view path, platform::FileMode mode) {
    if (RefusesOpen(path)) {
        errors_.Fail(error::kAccessDenied);
        return nullptr;
    }
    std::unique_ptr<platform::File> file = files_.OpenFile(path, mode);
    if (!file || !sizeLimit_) {
        return file;
    }
    return std::make_unique<SizeLimitedFile>(std::move(file), *sizeLimit_, errors_);
}

std::unique_ptr<platform::FolderSearch> SimFileSystem::FindFirstFile(std::u16string_view pattern,
                                                                     platform::FindData& first) {
    return files_.FindFirstFile(pattern, first);
}

bool SimFileSystem::RefusesOpen(std::u16string_view path) const {
    const std::optional<std::vector<std::u16string>> location = files_.Locate(path);
    return location &&
           std::find(openFails_.begin(), openFails_.end(), shared::AttributeRules::Key(*location)) != openFails_.end();
}

bool SimFileSystem::ExceedsSizeLimit(std::u16string_view file) {
    if (!sizeLimit_) {
        return false;
    }
    // A source that does not open fails the copy itself, with the same error.
    const std::unique_ptr<platform::File> source = files_.OpenFile(file, platform::FileMode::Read);
    return source && source->Length() > *sizeLimit_;
}

}  // namespace velkor::sim
