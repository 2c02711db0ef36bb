#pragma once

#include "platform/File.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velkor::platform {

inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;
inline constexpr std::uint32_t kFileAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kFileAttributeHidden = 0x02;
inline constexpr std::uint32_t kFileAttributeSystem = 0x04;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;

enum class FileMode {
    Read,            // an existing file, read only
    ReadWrite,       // an existing file, read and write
    CreateTruncate,  // created, or emptied when it exists; write only
    CreateNew,       // created; fails with kAlreadyExists when the name is taken; write only
};

// One entry that a folder search found.
struct FindData {
    std::u16string name;
    std::uint32_t attributes = 0;
    // The file's length in bytes; 0 for a folder.
    std::uint64_t size = 0;
};

// A folder search in progress; destroying the object closes it.
class FolderSearch {
public:
    virtual ~FolderSearch() = default;

    // The next entry; false (last error kNoMoreFiles) once every entry was returned.
    virtual bool FindNext(FindData& entry) = 0;
};

// The device's single-rooted file system. Paths are backslash paths ("\StorageCard\updater.cfg")
// compared without regard to case. Failures set the platform's last-error code.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // kInvalidFileAttributes when the path does not exist.
    virtual std::uint32_t GetAttributes(std::u16string_view path) = 0;
    // Creates one folder; the folder above it must exist.
    virtual bool CreateDirectory(std::u16string_view path) = 0;
    // Copies a file, replacing an existing file at `to`.
    virtual bool CopyFile(std::u16string_view from, std::u16string_view to) = 0;
    virtual bool DeleteFile(std::u16string_view path) = 0;
    // Renames a file, replacing an existing file at `to`.
    virtual bool MoveFile(std::u16string_view from, std::u16string_view to) = 0;
    // Null when the file cannot be opened.
    virtual std::unique_ptr<File> OpenFile(std::u16string_view path, FileMode mode) = 0;
    // Starts listing a folder: `pattern` is the folder's path followed by "\*.*", the only
    // pattern the device is asked for; it matches every name. The entries come in the file
    // system's own order, without "." and "..". On success `first` holds the first entry. Null
    // when the folder cannot be searched (kPathNotFound), holds nothing (kFileNotFound), or the
    // pattern is another one (kInvalidParameter).
    virtual std::unique_ptr<FolderSearch> FindFirstFile(std::u16string_view pattern, FindData& first) = 0;
};

}  // namespace velkor::platform
