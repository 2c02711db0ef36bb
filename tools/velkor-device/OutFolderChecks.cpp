#include "velkor-device/OutFolderChecks.h"

#include "update/UpdateSettings.h"
#include "velkor-device/CardContents.h"

#include <fmt/format.h>

#include <cstdlib>
#include <optional>
#include <system_error>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

// A path that OUT must not be, nor hold, and what it is to the engineer.
struct KeptPath {
    fs::path path;
    std::string what;
};

std::vector<KeptPath> KeptPaths(const CardRequest& request) {
    std::vector<KeptPath> kept;
    for (const auto& [kind, source] : request.images) {
        kept.push_back({source, fmt::format("the {} row's image", update::ImageKindName(kind))});
    }
    if (request.device) {
        kept.push_back({*request.device, "the device directory"});
    }
    std::error_code failure;
    kept.push_back({fs::current_path(failure), "the current directory"});
    if (const char* home = std::getenv("HOME"); home && *home) {
        kept.push_back({home, "the home directory"});
    }
    return kept;
}

// True when `inner` is `outer` or lies below it; both are canonical.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

std::optional<std::string> KeptPathProblem(const fs::path& out, const KeptPath& kept) {
    std::error_code failure;
    const fs::path outPlace = fs::canonical(out, failure);
    const fs::path keptPlace = failure ? fs::path() : fs::canonical(kept.path, failure);
    if (failure || !IsWithin(keptPlace, outPlace)) {
        return std::nullopt;
    }
    const std::string relation = keptPlace == outPlace ? fmt::format("is {}", kept.what)
                                                       : fmt::format("holds {} {}", kept.what, kept.path.string());
    return fmt::format("{} {}: a card never replaces it; name a new folder for the card", out.string(), relation);
}

std::optional<std::string> EarlierCardProblem(const fs::path& out, bool replace) {
    std::error_code failure;
    const fs::file_status status = fs::symlink_status(out, failure);
    if (fs::is_symlink(status)) {
        return fmt::format("{} is a link: a card is never made through one; name a new folder for the card",
                           out.string());
    }
    if (!fs::is_directory(status)) {
        return fmt::format("{} is a file, not an earlier card: name a new folder for the card", out.string());
    }
    if (const std::optional<fs::path> foreign = ForeignEntry(out)) {
        return fmt::format(
            "{} holds {}, which no card holds: --force replaces only an earlier card, so name a new "
            "folder for the card or empty this one",
            out.string(), foreign->string());
    }
    if (!replace) {
        return fmt::format("{} already holds a card: --force replaces it", out.string());
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> OutFolderProblems(const CardRequest& request) {
    std::error_code failure;
    if (!fs::exists(fs::symlink_status(request.out, failure))) {
        return {};
    }
    std::vector<std::string> problems;
    for (const KeptPath& kept : KeptPaths(request)) {
        if (std::optional<std::string> problem = KeptPathProblem(request.out, kept)) {
            problems.push_back(std::move(*problem));
        }
    }
    if (problems.empty()) {
        if (std::optional<std::string> problem = EarlierCardProblem(request.out, request.force)) {
            problems.push_back(std::move(*problem));
        }
    }
    return problems;
}

}  // namespace velkor::device_tool
