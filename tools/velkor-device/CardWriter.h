#pragma once

#include "velkor-device/CardManifest.h"
#include "velkor-device/CardPlan.h"
#include "velkor-device/ScratchFolder.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velkor::device_tool {

// Lays a card out in a scratch folder beside its place and renames it into place only when every
// file is written, so a card is either whole or not there: the images, each of which must hash as
// the manifest lists it, the settings file of a card by hand, the manifest and its signature.
class CardWriter {
public:
    // `signature`: the manifest's detached signature (DER), when the card is signed.
    CardWriter(const CardPlan& plan, const CardManifest& manifest, std::optional<std::string> signature);

    // Makes the card in `out` and answers its absolute path. With `replace` an existing `out` goes,
    // once the new card has taken its place. Throws on failure, leaving `out` as it was and no
    // scratch folder behind.
    std::filesystem::path Write(const std::filesystem::path& out, bool replace) const;

private:
    void CopyImages(const std::filesystem::path& card) const;
    // A source that changed since the manifest was made would make a card its device refuses.
    void CheckCopy(const CardFile& file, const std::filesystem::path& copy) const;
    void WriteSettings(const std::filesystem::path& card) const;
    void WriteManifest(const std::filesystem::path& card) const;
    static void PutInPlace(ScratchFolder& card, const std::filesystem::path& out, bool replace);
    static void Replace(ScratchFolder& card, const std::filesystem::path& out);

    const CardPlan& plan_;
    const CardManifest& manifest_;
    std::optional<std::string> signature_;
};

}  // namespace velkor::device_tool
