#pragma once

#include "velkor-device/CardPlan.h"
#include "velkor-device/ScratchFolder.h"

#include <filesystem>

namespace velkor::device_tool {

// Lays a card out in a scratch folder beside its place and renames it into place only when every
// file is written, so a card is either whole or not there.
class CardWriter {
public:
    explicit CardWriter(const CardPlan& plan);

    // Makes the card in `out` and answers its absolute path. With `replace` an existing `out` goes,
    // once the new card has taken its place. Throws on failure, leaving `out` as it was and no
    // scratch folder behind.
    std::filesystem::path Write(const std::filesystem::path& out, bool replace) const;

private:
    void CopyImages(const std::filesystem::path& card) const;
    void WriteSettings(const std::filesystem::path& card) const;
    static void PutInPlace(ScratchFolder& card, const std::filesystem::path& out, bool replace);
    static void Replace(ScratchFolder& card, const std::filesystem::path& out);

    const CardPlan& plan_;
};

}  // namespace velkor::device_tool
