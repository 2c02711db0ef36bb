#include "backend/sim/PowerCutFileSystem.h"

namespace velkor::sim {

PowerCutFileSystem::PowerCutFileSystem(platform::FileSystem& fileSystem, PowerCut& powerCut)
    : ForwardingFileSystem(fileSystem), powerCut_(powerCut) {}

bool PowerCutFileSystem::CopyFile(std::u16string_view from, std::u16string_view to) {
    if (powerCut_.Armed()) {
        // A source that does not open is the copy's own failure, with its own error.
        if (const std::unique_ptr<platform::File> source = Inner().OpenFile(from, platform::FileMode::Read)) {
            const std::uint64_t length = source->Length();
            if (powerCut_.Admit(length) < length) {
                powerCut_.Cut();
            }
        }
    }
    return Inner().CopyFile(from, to);
}

}  // namespace velkor::sim
