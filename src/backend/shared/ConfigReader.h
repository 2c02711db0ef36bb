#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace velkor::shared {

// Reads the fields of one JSON file that describes a device, and names the file and the field in
// every complaint: each failure throws DeviceError.
class ConfigReader {
public:
    explicit ConfigReader(std::string_view sourceName) : sourceName_(sourceName) {}

    // The document, which must be a JSON object.
    nlohmann::json Document(std::string_view text) const;

    const nlohmann::json& Required(const nlohmann::json& object, std::string_view field,
                                   std::string_view fieldPath) const;
    // The field's value; null when the object does not have it.
    static const nlohmann::json* Optional(const nlohmann::json& object, std::string_view field);

    // A non-negative integer no larger than `max`.
    std::uint64_t Unsigned(const nlohmann::json& value, std::string_view fieldPath, std::uint64_t max,
                           std::string_view expected) const;
    bool Boolean(const nlohmann::json& value, std::string_view fieldPath) const;
    // A 16-bit language id: a number, or a string of one in hex ("0x0804") or decimal.
    std::uint16_t LanguageId(const nlohmann::json& value, std::string_view fieldPath) const;
    std::u16string String(const nlohmann::json& value, std::string_view fieldPath) const;
    // The value, which must be an array or an object as `isArray` says.
    const nlohmann::json& Container(const nlohmann::json& value, std::string_view fieldPath, bool isArray,
                                    std::string_view expected) const;

    // Each item of the list `object.<field>` as `readItem` makes it; `readItem` answers nothing for
    // an item it cannot take. An absent field is an empty list.
    template <typename ReadItem>
    auto List(const nlohmann::json& object, std::string_view fieldPath, std::string_view field,
              std::string_view expected, ReadItem readItem) const {
        std::vector<typename std::invoke_result_t<ReadItem, const nlohmann::json&>::value_type> items;
        const nlohmann::json* list = Optional(object, field);
        if (!list) {
            return items;
        }
        for (const nlohmann::json& item : Container(*list, fieldPath, true, expected)) {
            const auto value = readItem(item);
            if (!value) {
                Fail(fieldPath, expected);
            }
            items.push_back(*value);
        }
        return items;
    }

    // A list item that is a string; nothing for any other item.
    static std::optional<std::u16string> StringItem(const nlohmann::json& item);

    [[noreturn]] void Fail(std::string_view fieldPath, std::string_view expected) const;

private:
    std::string_view sourceName_;
};

}  // namespace velkor::shared
