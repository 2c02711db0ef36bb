#include "backend/shared/InstalledRecordFile.h"

#include "backend/shared/BoundedFile.h"
#include "backend/shared/ConfigReader.h"
#include "backend/shared/DeviceError.h"
#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/FullWrite.h"
#include "backend/shared/PlainFile.h"
#include "backend/shared/UniqueFd.h"
#include "platform/DeviceText.h"
#include "platform/ErrorCodes.h"
#include "platform/Sha256.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace velkor::shared {
namespace {

// A record is a few dozen bytes; anything much larger is not one.
constexpr std::uint64_t kMaxRecordBytes = 4096;

bool Fail(std::uint32_t& error, std::uint32_t code) {
    error = code;
    return false;
}

// The rename is only durable once the folder that holds both names is flushed too.
bool SyncFolder(const std::filesystem::path& folder) {
    const UniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.IsValid() && ::fsync(fd.Get()) == 0;
}

}  // namespace

std::optional<platform::InstalledRelease> InstalledRecordFile::Read(std::uint32_t& error) const {
    std::uint32_t readError = platform::error::kSuccess;
    const std::optional<std::string> text = ReadBoundedFile(path_, LinkRule::Refused, kMaxRecordBytes, readError);
    if (!text && readError == platform::error::kFileNotFound) {
        return platform::InstalledRelease{};
    }
    if (!text) {
        error = readError;
        return std::nullopt;
    }
    try {
        const ConfigReader reader(path_.native());
        const nlohmann::json document = reader.Document(*text);
        platform::InstalledRelease release;
        release.version = reader.Unsigned(reader.Required(document, "version", "version"), "version",
                                          std::numeric_limits<std::uint64_t>::max(), "a whole number");
        // Any case of the 64 digits is the same digest; anything else is no record of one.
        const std::optional<platform::Sha256Digest> digest = platform::DigestFromHex(
            platform::ToUtf8(reader.String(reader.Required(document, "manifestSha256", "manifestSha256"), "manifestSha256")));
        if (!digest) {
            error = platform::error::kInvalidData;
            return std::nullopt;
        }
        release.manifestSha256 = platform::DigestHex(*digest);
        return release;
    } catch (const DeviceError&) {
        error = platform::error::kInvalidData;
        return std::nullopt;
    }
}

bool InstalledRecordFile::Write(const platform::InstalledRelease& release, std::uint32_t& error) const {
    const nlohmann::ordered_json document{{"version", release.version}, {"manifestSha256", release.manifestSha256}};
    if (!WriteTemporary(document.dump(2) + "\n", error)) {
        ::unlink(TemporaryPath().c_str());
        return false;
    }
    if (::rename(TemporaryPath().c_str(), path_.c_str()) != 0) {
        error = DeviceErrorFromErrno(errno);
        ::unlink(TemporaryPath().c_str());
        return false;
    }
    if (!SyncFolder(path_.parent_path())) {
        return Fail(error, DeviceErrorFromErrno(errno));
    }
    return true;
}

std::filesystem::path InstalledRecordFile::TemporaryPath() const {
    std::filesystem::path temporary = path_;
    return temporary += ".new";
}

bool InstalledRecordFile::WriteTemporary(const std::string& text, std::uint32_t& error) const {
    // A plain file only: a link left in the temporary file's place must not lead the write elsewhere.
    ::unlink(TemporaryPath().c_str());
    const UniqueFd file = OpenPlainFile(AT_FDCWD, TemporaryPath().c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (!file.IsValid() || !WriteFully(file.Get(), text) || ::fsync(file.Get()) != 0) {
        return Fail(error, DeviceErrorFromErrno(errno));
    }
    return true;
}

}  // namespace velkor::shared
