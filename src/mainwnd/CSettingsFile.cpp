#include "mainwnd/CSettingsFile.h"

#include "platform/DeviceText.h"

#include <array>
#include <new>
#include <string>

namespace velkor::mainwnd {
namespace {

constexpr std::uint32_t kReadChunkBytes = 64 * 1024;
constexpr std::u16string_view kLineEnd = u"\r\n";
constexpr std::u16string_view kTemporarySuffix = u".tmp";
// "updater.cfg.tmp", then "updater.cfg.1.tmp" and so on, up to this many names.
constexpr int kTemporaryNames = 100;

std::string ToUtf16LeBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// The UTF-16LE code units of `bytes` up to the first U+0000; a trailing odd byte is dropped.
std::u16string FromUtf16LeBytes(const std::string& bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (unit == u'\0') {
            break;
        }
        text += unit;
    }
    return text;
}

}  // namespace

CSettingsFile::CSettingsFile(platform::FileSystem& fileSystem, std::u16string path)
    : fileSystem_(fileSystem), path_(std::move(path)), marker_(EntryMarker) {}

int CSettingsFile::ReadEntries(platform::StringArray& list) {
    file_ = fileSystem_.OpenFile(path_, platform::FileMode::Read);
    if (!file_) {
        return 0;
    }
    const std::u16string text = ReadText();
    return text.empty() ? 0 : SplitEntries(text, list);
}

std::u16string CSettingsFile::ReadText() {
    std::string bytes;
    std::array<char, kReadChunkBytes> chunk{};
    std::uint32_t bytesRead = 0;
    try {
        while (file_->Read(chunk.data(), kReadChunkBytes, bytesRead) && bytesRead > 0) {
            bytes.append(chunk.data(), bytesRead);
        }
        return FromUtf16LeBytes(bytes);
    } catch (const std::bad_alloc&) {
        // A file too large for memory is treated like one that cannot be read.
        return {};
    }
}

int CSettingsFile::SplitEntries(std::u16string_view text, platform::StringArray& list) const {
    if (text.empty()) {
        return 0;
    }
    std::size_t searchPosition = 0;
    for (;;) {
        const std::size_t opening = text.find(marker_, searchPosition);
        if (opening == std::u16string_view::npos) {
            break;
        }
        const std::size_t valueStart = opening + marker_.size();
        const std::size_t closing = text.find(marker_, valueStart);
        if (closing == std::u16string_view::npos) {
            break;
        }
        list.Append(std::u16string(text.substr(valueStart, closing - valueStart)));
        searchPosition = closing + marker_.size();
    }
    return static_cast<int>(list.Count());
}

int CSettingsFile::WriteEntries(const platform::StringArray& list) {
    if (list.Count() == 0 || path_.empty()) {
        return 0;
    }
    const std::optional<std::u16string> temporaryPath = CreateTemporaryFile();
    if (!temporaryPath) {
        return 0;
    }
    std::size_t lastLineLength = 0;
    if (!WriteAndReplace(list, *temporaryPath, lastLineLength)) {
        fileSystem_.DeleteFile(*temporaryPath);
        return 0;
    }
    return static_cast<int>(lastLineLength);
}

bool CSettingsFile::WriteAndReplace(const platform::StringArray& list, std::u16string_view temporaryPath,
                                    std::size_t& lastLineLength) {
    bool kept = WriteLines(list, lastLineLength);
    if (kept) {
        // A file the device could not keep (a failing close) must not replace the settings file.
        kept = file_->Close();
    }
    file_.reset();
    if (!kept) {
        return false;
    }
    return fileSystem_.MoveFile(temporaryPath, path_);
}

std::optional<std::u16string> CSettingsFile::CreateTemporaryFile() {
    for (int attempt = 0; attempt < kTemporaryNames; ++attempt) {
        const std::u16string name =
            path_ + (attempt == 0 ? std::u16string() : platform::Format(u".%d", attempt)) + std::u16string(kTemporarySuffix);
        file_ = fileSystem_.OpenFile(name, platform::FileMode::CreateNew);
        if (file_) {
            return name;
        }
        // A name that is free and still cannot be created will not be helped by another name.
        if (fileSystem_.GetAttributes(name) == platform::kInvalidFileAttributes) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool CSettingsFile::WriteLines(const platform::StringArray& list, std::size_t& lastLineLength) {
    for (std::size_t index = 0; index < list.Count(); ++index) {
        const std::u16string line = marker_ + list.At(index) + marker_ + std::u16string(kLineEnd);
        const std::string bytes = ToUtf16LeBytes(line);
        if (!file_->Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
            return false;
        }
        lastLineLength = line.size();
    }
    return true;
}

}  // namespace velkor::mainwnd
