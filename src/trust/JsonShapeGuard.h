#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::trust {

// The shape a JSON text may have before it is read into a document at all.
struct JsonShape {
    // Objects and arrays inside one another; the document itself is the first.
    std::size_t maxDepth = 0;
    std::size_t maxArrayItems = 0;
    std::size_t maxObjectKeys = 0;
};

// Walks a JSON text without building it, and stops at the first thing outside the shape: invalid
// JSON, nesting too deep, a list or object too long, or a key that an object already has. A
// hostile text thus costs no more than one pass over it.
class JsonShapeGuard : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit JsonShapeGuard(JsonShape shape) : shape_(shape) {}

    // True when the whole text fits the shape; otherwise Error() says where it does not.
    bool Check(std::string_view text);
    const std::string& Error() const { return error_; }

    bool null() override { return Item(); }
    bool boolean(bool) override { return Item(); }
    bool number_integer(number_integer_t) override { return Item(); }
    bool number_unsigned(number_unsigned_t) override { return Item(); }
    bool number_float(number_float_t, const string_t&) override { return Item(); }
    bool string(string_t&) override { return Item(); }
    bool binary(binary_t&) override { return Item(); }
    bool start_object(std::size_t) override { return Open(true); }
    bool key(string_t& name) override;
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(false); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override;

private:
    struct Container {
        bool isObject = false;
        // Where it is in the document: "images[1]"; empty for the document itself.
        std::string path;
        std::size_t items = 0;
        std::set<std::string> keys;
        std::string lastKey;
    };

    // A value inside the innermost container.
    bool Item();
    bool Open(bool isObject);
    bool Close();
    bool Fail(std::string error);
    // Where the next value goes: "images[1].size".
    std::string NextPath() const;
    // "the document", "\"images[1]\"", for the complaints.
    std::string Where() const;

    JsonShape shape_;
    std::vector<Container> open_;
    std::string error_;
};

}  // namespace velkor::trust
