#pragma once

// A small JSON document model: enough to read loader manifests and to write the check report.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    // Members in the order they were added or read; a repeated name keeps its last value.
    using Object = std::vector<std::pair<std::string, JsonValue>>;

    JsonValue() = default;
    JsonValue(std::nullptr_t) {}
    JsonValue(bool value) : value_(value) {}
    JsonValue(double value) : value_(value) {}
    JsonValue(int value) : value_(static_cast<double>(value)) {}
    JsonValue(const char* value) : value_(std::string(value)) {}
    JsonValue(std::string value) : value_(std::move(value)) {}
    JsonValue(Array value) : value_(std::move(value)) {}
    JsonValue(Object value) : value_(std::move(value)) {}

    bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
    const bool* AsBool() const { return std::get_if<bool>(&value_); }
    const double* AsNumber() const { return std::get_if<double>(&value_); }
    const std::string* AsString() const { return std::get_if<std::string>(&value_); }
    const Array* AsArray() const { return std::get_if<Array>(&value_); }
    const Object* AsObject() const { return std::get_if<Object>(&value_); }

    // The member of that name of an object; null when this is no object or has no such member.
    const JsonValue* Find(const std::string& name) const;
    JsonValue* Find(const std::string& name) {
        return const_cast<JsonValue*>(static_cast<const JsonValue*>(this)->Find(name));
    }
    // Adds or replaces a member; turns a null value into an object first.
    JsonValue& Set(const std::string& name, JsonValue value);

    // Compact text. Well-formed UTF-8 in strings is kept; other bytes are escaped as Latin-1.
    std::string Write() const;

private:
    std::variant<std::monostate, bool, double, std::string, Array, Object> value_;
};

struct JsonParseResult {
    std::optional<JsonValue> value;
    std::string error;  // "line L, column C: what", when value is empty
};

// Parses one whole document (RFC 8259); trailing text other than white space is an error.
JsonParseResult ParseJson(const std::string& text);
