#include "velkor-device/CardWriter.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FolderFileSystem.h"
#include "mainwnd/CSettingsFile.h"
#include "mainwnd/SettingsEntries.h"
#include "platform/DeviceText.h"
#include "trust/Manifest.h"
#include "velkor-device/CardContents.h"
#include "velkor-device/DiskRoom.h"
#include "velkor-device/FileDigest.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <fstream>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

// mkdtemp() makes a folder for its owner only; a card is as open as a folder the program makes.
constexpr fs::perms kCardPermissions = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec;

// Absolute, without "." or ".." or a trailing separator, so that its parent and name are real.
fs::path PlaceOf(const fs::path& out) {
    const fs::path normal = fs::absolute(out).lexically_normal();
    return normal.has_filename() ? normal : normal.parent_path();
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw shared::DeviceError(fmt::format("cannot write {}", file));
    }
}

}  // namespace

CardWriter::CardWriter(const CardPlan& plan, const CardManifest& manifest, std::optional<std::string> signature)
    : plan_(plan), manifest_(manifest), signature_(std::move(signature)) {}

fs::path CardWriter::Write(const fs::path& out, bool replace) const {
    const fs::path place = PlaceOf(out);
    ScratchFolder card(place, "new");
    fs::permissions(card.Path(), kCardPermissions);
    CopyImages(card.Path());
    if (plan_.Layout() == CardLayout::Manual) {
        WriteSettings(card.Path());
    }
    WriteManifest(card.Path());
    PutInPlace(card, place, replace);
    return place;
}

void CardWriter::CopyImages(const fs::path& card) const {
    fs::create_directory(card / plan_.HostFolder());
    for (const CardFile& file : plan_.Files()) {
        if (!plan_.IsFirstOfItsName(file)) {
            continue;
        }
        try {
            fs::copy_file(file.source, card / plan_.HostPath(file));
        } catch (const fs::filesystem_error& error) {
            if (IsDiskFull(error.code(), card)) {
                throw shared::DeviceError(fmt::format("cannot copy {} to the card: the disk that holds {} is full",
                                                      file.source, card.parent_path()));
            }
            throw;
        }
        CheckCopy(file, card / plan_.HostPath(file));
    }
}

void CardWriter::CheckCopy(const CardFile& file, const fs::path& copy) const {
    const trust::ManifestImage* listed = manifest_.Find(plan_.HostPath(file).generic_string());
    std::error_code failure;
    if (!listed || fs::file_size(copy, failure) != listed->size || Sha256Of(copy) != platform::DigestHex(listed->sha256)) {
        throw shared::DeviceError(
            fmt::format("{} changed while the card was made: its copy is not what the manifest lists", file.source));
    }
}

void CardWriter::WriteManifest(const fs::path& card) const {
    WriteBytes(card / platform::ToUtf8(trust::kManifestFileName), manifest_.Text());
    if (signature_) {
        WriteBytes(card / platform::ToUtf8(trust::kSignatureFileName), *signature_);
    }
}

// Written by the program's own settings file over the card's folder, so the bytes are the ones it reads.
void CardWriter::WriteSettings(const fs::path& card) const {
    shared::ErrorState errors;
    const shared::DismountedFolders noneDismounted;
    shared::FolderFileSystem files(card, noneDismounted, shared::FileRules{}, errors);
    const std::u16string path = u"\\" + std::u16string(SettingsFileName());
    if (mainwnd::CSettingsFile(files, path).WriteEntries(mainwnd::MakeSettingsEntries(plan_.Settings())) == 0) {
        throw shared::DeviceError(fmt::format("cannot write the settings file in {}: error {}", card, errors.Last()));
    }
}

void CardWriter::PutInPlace(ScratchFolder& card, const fs::path& out, bool replace) {
    std::error_code failure;
    if (replace && fs::exists(fs::symlink_status(out, failure))) {
        Replace(card, out);
        return;
    }
    fs::rename(card.Path(), out);
    card.Keep();
}

// The old card is moved aside first and removed only once the new one is in its place; should the
// new one not get there, the old one goes back.
void CardWriter::Replace(ScratchFolder& card, const fs::path& out) {
    ScratchFolder old(out, "old");
    const fs::path aside = old.Path() / out.filename();
    fs::rename(out, aside);
    try {
        fs::rename(card.Path(), out);
    } catch (const fs::filesystem_error& error) {
        std::error_code restoreFailure;
        fs::rename(aside, out, restoreFailure);
        if (restoreFailure) {
            old.Keep();
            throw shared::DeviceError(fmt::format("{}; the old {} is now {}", error.what(), out, aside));
        }
        throw;
    }
    card.Keep();
}

}  // namespace velkor::device_tool
