#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace velkor::ui {

// The program's texts that follow the device's language: the file picker's, and the messages that
// say why a card was refused (the message is CardRefusedPattern with the reason's text).
enum class UiStringId : std::size_t {
    ColumnName,
    ColumnType,
    ColumnSize,
    PreviousLayer,
    FolderSuffix,
    FileSuffix,
    CardRefusedPattern,
    RefusedKeyringUnreadable,
    RefusedClockNotSet,
    RefusedNoManifest,
    RefusedManifestMalformed,
    RefusedNoSignature,
    RefusedSignatureUnreadable,
    RefusedSignerUntrusted,
    RefusedCertificateOutOfDate,
    RefusedCertificateRevoked,
    RefusedRevocationListOutOfDate,
    RefusedRevocationUnknown,
    RefusedWrongPurpose,
    RefusedManifestChanged,
    RefusedWrongCompatible,
    RefusedInstalledUnreadable,
    RefusedOlderVersion,
    RefusedVersionReused,
    RefusedImageNotListed,
    RefusedImageChanged,
    RefusedWeakSignature,
    RefusedImageAmbiguous,
};

inline constexpr std::size_t kUiStringCount = 28;

// The table of those texts: English when built, Chinese after UseChineseSet().
class UiStrings {
public:
    UiStrings();

    const std::u16string& operator[](UiStringId id) const;
    // Replaces every entry, in index order, with its Chinese text.
    void UseChineseSet();

private:
    std::array<std::u16string, kUiStringCount> entries_;
};

}  // namespace velkor::ui
