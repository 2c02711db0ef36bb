#include "trust/JsonShapeGuard.h"

#include <fmt/format.h>

namespace velkor::trust {

bool JsonShapeGuard::Check(std::string_view text) {
    open_.clear();
    error_.clear();
    return nlohmann::json::sax_parse(text, this) && error_.empty();
}

bool JsonShapeGuard::key(string_t& name) {
    Container& object = open_.back();
    object.lastKey = name;
    if (!object.keys.insert(name).second) {
        return Fail(fmt::format("{} has the key \"{}\" twice", Where(), name));
    }
    if (object.keys.size() > shape_.maxObjectKeys) {
        return Fail(fmt::format("{} has more than {} keys", Where(), shape_.maxObjectKeys));
    }
    return true;
}

bool JsonShapeGuard::parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) {
    return Fail(fmt::format("not valid JSON (at byte {})", position));
}

bool JsonShapeGuard::Item() {
    if (open_.empty() || open_.back().isObject) {
        return true;
    }
    if (++open_.back().items > shape_.maxArrayItems) {
        return Fail(fmt::format("{} has more than {} items", Where(), shape_.maxArrayItems));
    }
    return true;
}

bool JsonShapeGuard::Open(bool isObject) {
    if (!Item()) {
        return false;
    }
    if (open_.size() == shape_.maxDepth) {
        return Fail(fmt::format("\"{}\" nests deeper than {} levels", NextPath(), shape_.maxDepth));
    }
    open_.push_back({isObject, NextPath(), 0, {}, {}});
    return true;
}

bool JsonShapeGuard::Close() {
    open_.pop_back();
    return true;
}

bool JsonShapeGuard::Fail(std::string error) {
    error_ = std::move(error);
    return false;
}

std::string JsonShapeGuard::NextPath() const {
    if (open_.empty()) {
        return {};
    }
    const Container& parent = open_.back();
    if (!parent.isObject) {
        return fmt::format("{}[{}]", parent.path, parent.items - 1);
    }
    return parent.path.empty() ? parent.lastKey : fmt::format("{}.{}", parent.path, parent.lastKey);
}

std::string JsonShapeGuard::Where() const {
    if (open_.empty() || open_.back().path.empty()) {
        return "the document";
    }
    return fmt::format("\"{}\"", open_.back().path);
}

}  // namespace velkor::trust
