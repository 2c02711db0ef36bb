#pragma once

#include "platform/FileSystem.h"

#include <functional>
#include <memory>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

namespace velkor::test {

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
    // A name of \Card\Image.bin other than its own in any letter case; nothing where there is none.
    virtual std::optional<std::u16string> SecondName() { return std::nullopt; }
    // An empty folder whose written files the device cannot keep (closing them fails); nothing
    // where there is none.
    virtual std::optional<std::u16string> UnkeptFolder() { return std::nullopt; }
};

struct FileSystemRigMaker {
    const char* name;
    std::function<std::unique_ptr<FileSystemRig>()> make;
};

// Failures name the implementation rather than dump its bytes.
inline void PrintTo(const FileSystemRigMaker& maker, std::ostream* out) { *out << maker.name; }

// The fake, the simulator, the real device's folders on the host's file system, and (as root) the
// real device's folders on a FAT volume mounted through fusefat from a loop device.
std::vector<FileSystemRigMaker> FileSystemRigs();

}  // namespace velkor::test
