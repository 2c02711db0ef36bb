#pragma once

#include "backend/shared/RegistryTree.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::shared {

// Reads the registry from .reg text (UTF-8): an optional "Windows Registry Editor Version 5.00"
// or "REGEDIT4" header, [HKEY_LOCAL_MACHINE\...] key lines, "Name"="text" and @="text" string
// values with \\ and \" escapes, "Name"=dword:0000000a values, ; comments and blank lines.
class RegFileParser {
public:
    // Throws DeviceError "<sourceName>:<line>: <what is wrong>" at the first malformed line.
    static RegistryTree Parse(std::string_view text, std::string_view sourceName);

private:
    explicit RegFileParser(std::string_view sourceName) : sourceName_(sourceName) {}

    void ParseLine(std::string_view line);
    void ParseKeyLine(std::string_view line);
    void ParseValueLine(std::string_view line);
    RegistryValue ParseData(std::string_view data) const;
    std::uint32_t ParseDword(std::string_view digits) const;
    // Reads the quoted text at the start of `rest` and removes it from `rest`.
    std::string ReadQuoted(std::string_view& rest) const;
    [[noreturn]] void Fail(std::string_view problem) const;

    std::string_view sourceName_;
    RegistryTree tree_;
    std::optional<RegistryTree::KeyId> currentKey_;
    std::size_t lineNumber_ = 0;
    bool headerAllowed_ = true;
};

}  // namespace velkor::shared
