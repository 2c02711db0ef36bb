#include "backend/sim/ChangedCardTrust.h"

namespace velkor::sim {

ChangedCardTrust::ChangedCardTrust(platform::DeviceTrust& trust, platform::FileSystem& fileSystem,
                                   std::vector<std::u16string> changedFiles)
    : trust_(trust), fileSystem_(fileSystem), changedFiles_(std::move(changedFiles)) {}

void ChangedCardTrust::ApproveCard(platform::ApprovedCard card) {
    trust_.ApproveCard(std::move(card));
    for (const std::u16string& path : changedFiles_) {
        Change(path);
    }
}

void ChangedCardTrust::Change(std::u16string_view path) {
    const std::unique_ptr<platform::File> file = fileSystem_.OpenFile(path, platform::FileMode::ReadWrite);
    if (!file) {
        return;  // a file the card does not hold cannot change
    }
    // An empty file reads nothing at 0, and gains one byte there.
    const std::uint64_t last = file->Length() > 0 ? file->Length() - 1 : 0;
    char byte = 0;
    std::uint32_t read = 0;
    if (!file->Seek(last) || !file->Read(&byte, 1, read)) {
        return;
    }
    if (!file->Seek(last)) {
        return;
    }
    byte = static_cast<char>(~byte);
    file->Write(&byte, 1);
}

}  // namespace velkor::sim
