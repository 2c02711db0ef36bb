#pragma once

#include "backend/sim/PowerCut.h"
#include "backend/shared/ForwardingFileSystem.h"

namespace velkor::sim {

// The device's file system with the power-cut switch: a copy (the second logo's) counts the bytes it
// writes, and the power goes before a copy that does not fit. Everything else passes through.
class PowerCutFileSystem : public shared::ForwardingFileSystem {
public:
    PowerCutFileSystem(platform::FileSystem& fileSystem, PowerCut& powerCut);

    bool CopyFile(std::u16string_view from, std::u16string_view to) override;

private:
    PowerCut& powerCut_;
};

}  // namespace velkor::sim
