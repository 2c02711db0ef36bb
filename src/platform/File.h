#pragma once

#include <cstdint>

namespace velkor::platform {

// Which file an open file is, whatever path reached it: the file system's device and the file's
// number on it (inode), so that the file a check read can be told from another of a similar name.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool operator==(const FileIdentity&) const = default;
};

// An open file of the device's file system; closing it, or destroying the object, closes it.
// Failures set the platform's last-error code.
class File {
public:
    virtual ~File() = default;

    // Reads up to `count` bytes; `bytesRead` is 0 at the end of the file.
    virtual bool Read(void* buffer, std::uint32_t count, std::uint32_t& bytesRead) = 0;
    // Writes all `count` bytes or fails.
    virtual bool Write(const void* data, std::uint32_t count) = 0;
    // Moves the file position to `offset` bytes from the beginning.
    virtual bool Seek(std::uint64_t offset) = 0;
    virtual std::uint64_t Length() const = 0;
    virtual FileIdentity Identity() const = 0;
    // Closes the file, after writing through to the device what was written to it: false, with
    // the last error set, when the device could not keep it (the file is closed all the same).
    // Destroying a file that was not closed closes it without telling.
    virtual bool Close() = 0;
};

}  // namespace velkor::platform
