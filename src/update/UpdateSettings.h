#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::update {

// The six rows of the updater, one per image it can write (Reset writes a request, no image).
enum class ImageKind { OS, Logo, Logo2, Boot, App, Reset };

// "OS", "Logo", "Logo2", "Boot", "App" or "Reset", as the rows are labelled.
std::string_view ImageKindName(ImageKind kind);
// The row labelled `name`, exactly as ImageKindName spells it; nothing for any other text.
std::optional<ImageKind> ImageKindNamed(std::string_view name);
// True for the rows that write an image file (all but Reset).
bool WritesImage(ImageKind kind);

// Which images to write and from which files: the operator's choice, shown by the main window,
// kept in the settings file and carried out by an update.
struct UpdateSettings {
    std::u16string osPath;
    std::u16string bootPath;
    std::u16string logoPath;
    std::u16string logo2Path;
    std::u16string appPath;
    // Check-box states: 1 when the row is to be written, otherwise 0.
    std::int32_t osEnabled = 0;
    std::int32_t logoEnabled = 0;
    std::int32_t bootEnabled = 0;
    std::int32_t logo2Enabled = 0;
    std::int32_t resetEnabled = 0;
    std::int32_t appEnabled = 0;

    std::int32_t& Enabled(ImageKind kind);
    std::int32_t Enabled(ImageKind kind) const;
    // The image path of the row; null for Reset, which has none.
    std::u16string* Path(ImageKind kind);
    const std::u16string* Path(ImageKind kind) const;

    bool operator==(const UpdateSettings&) const = default;
};

}  // namespace velkor::update
