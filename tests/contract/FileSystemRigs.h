#pragma once

#include "contract/ContractSuite.h"
#include "platform/FileSystem.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velkor::test {

// What a file system case may need beyond the layout: a second name of \Card\Image.bin, other than
// its own in any letter case; an empty folder whose written files the device cannot keep (closing
// them fails).
inline constexpr Arrangements kSecondName = 1;
inline constexpr Arrangements kUnkeptFolder = 2;

// One implementation of the device's file system, laid out as the contract expects: the folder
// \Card holding the file \Card\Image.bin ("image") and the empty folder \Card\Sub, and the empty
// folder \Data.
class FileSystemRig {
public:
    virtual ~FileSystemRig() = default;

    // Why the rig cannot stand on this machine; empty when it stands.
    virtual std::string Unavailable() const { return {}; }
    virtual platform::FileSystem& Files() = 0;
    virtual std::uint32_t LastError() = 0;
    // Where the rig arranges them.
    virtual std::u16string SecondName() { return {}; }
    virtual std::u16string UnkeptFolder() { return {}; }
};

// The fake, the simulator, the real device's folders on the host's file system, and (as root) the
// real device's folders on a FAT volume mounted through fusefat from a loop device.
std::vector<RigMaker<FileSystemRig>> FileSystemRigs();

}  // namespace velkor::test
