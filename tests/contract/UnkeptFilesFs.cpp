// velkor_test_unkeptfs MOUNTPOINT: a file system of one folder in memory whose files are never
// kept: closing a file that was written fails with EIO, as a FUSE volume whose flush fails does.
// It serves in the foreground until it is sent SIGTERM, and unmounts itself when it ends.
#define FUSE_USE_VERSION 31

#include <fuse.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>

namespace {

struct Volume {
    std::map<std::string, std::string> files;
    // Whether each open handle wrote.
    std::map<std::uint64_t, bool> written;
    std::uint64_t nextHandle = 1;
};

// The volume main() serves, which libfuse hands every call.
Volume& TheVolume() { return *static_cast<Volume*>(fuse_get_context()->private_data); }

int GetAttributes(const char* path, struct stat* info, fuse_file_info*) {
    *info = {};
    if (std::strcmp(path, "/") == 0) {
        info->st_mode = S_IFDIR | 0755;
        info->st_nlink = 2;
        return 0;
    }
    const auto file = TheVolume().files.find(path);
    if (file == TheVolume().files.end()) {
        return -ENOENT;
    }
    info->st_mode = S_IFREG | 0644;
    info->st_nlink = 1;
    info->st_size = static_cast<off_t>(file->second.size());
    return 0;
}

int ReadFolder(const char*, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
    for (const auto& file : TheVolume().files) {
        fill(buffer, file.first.c_str() + 1, nullptr, 0, fuse_fill_dir_flags{});
    }
    return 0;
}

int Open(const char* path, fuse_file_info* handle) {
    if (!TheVolume().files.count(path)) {
        return -ENOENT;
    }
    handle->fh = TheVolume().nextHandle++;
    TheVolume().written[handle->fh] = false;
    return 0;
}

int Create(const char* path, mode_t, fuse_file_info* handle) {
    TheVolume().files[path];
    return Open(path, handle);
}

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info*) {
    const std::string& data = TheVolume().files[path];
    if (static_cast<std::size_t>(offset) >= data.size()) {
        return 0;
    }
    return static_cast<int>(data.copy(buffer, size, static_cast<std::size_t>(offset)));
}

int Write(const char* path, const char* bytes, size_t size, off_t offset, fuse_file_info* handle) {
    std::string& data = TheVolume().files[path];
    data.resize(std::max(data.size(), static_cast<std::size_t>(offset) + size));
    data.replace(static_cast<std::size_t>(offset), size, bytes, size);
    TheVolume().written[handle->fh] = true;
    return static_cast<int>(size);
}

int Truncate(const char* path, off_t size, fuse_file_info*) {
    if (!TheVolume().files.count(path)) {
        return -ENOENT;
    }
    TheVolume().files[path].resize(static_cast<std::size_t>(size));
    return 0;
}

int Flush(const char*, fuse_file_info* handle) { return TheVolume().written[handle->fh] ? -EIO : 0; }

int Release(const char*, fuse_file_info* handle) {
    TheVolume().written.erase(handle->fh);
    return 0;
}

int Unlink(const char* path) { return TheVolume().files.erase(path) > 0 ? 0 : -ENOENT; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    fuse_operations operations{};
    operations.getattr = GetAttributes;
    operations.readdir = ReadFolder;
    operations.open = Open;
    operations.create = Create;
    operations.read = Read;
    operations.write = Write;
    operations.truncate = Truncate;
    operations.flush = Flush;
    operations.release = Release;
    operations.unlink = Unlink;
    char foreground[] = "-f";
    char singleThreaded[] = "-s";
    char options[] = "-o";
    char autoUnmount[] = "auto_unmount";
    char* arguments[] = {argv[0], foreground, singleThreaded, options, autoUnmount, argv[1], nullptr};
    Volume volume;
    return fuse_main(6, arguments, &operations, &volume);
}
