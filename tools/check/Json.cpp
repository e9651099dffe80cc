#include "tools/check/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

// Nesting deeper than this is refused rather than risking the stack on hostile input.
constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    JsonParseResult Document() {
        JsonParseResult result;
        try {
            SkipSpace();
            JsonValue value = Value(0);
            SkipSpace();
            if (pos_ != text_.size()) {
                Fail("unexpected text after the document");
            }
            result.value = std::move(value);
        } catch (const std::runtime_error& error) {
            result.error = error.what();
        }
        return result;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        size_t line = 1;
        size_t column = 1;
        for (size_t i = 0; i < pos_ && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        throw std::runtime_error("line " + std::to_string(line) + ", column " +
                                 std::to_string(column) + ": " + what);
    }

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

    void SkipSpace() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
            ++pos_;
        }
    }

    void Expect(char c) {
        if (Peek() != c || AtEnd()) {
            Fail(std::string("expected '") + c + "'");
        }
        ++pos_;
    }

    void Word(const char* word) {
        for (const char* c = word; *c != '\0'; ++c) {
            if (AtEnd() || Peek() != *c) {
                Fail(std::string("expected '") + word + "'");
            }
            ++pos_;
        }
    }

    JsonValue Value(int depth) {
        if (depth > kMaxDepth) {
            Fail("nested too deeply");
        }
        if (AtEnd()) {
            Fail("unexpected end of text");
        }
        switch (Peek()) {
            case '{':
                return ObjectValue(depth);
            case '[':
                return ArrayValue(depth);
            case '"':
                return JsonValue(String());
            case 't':
                Word("true");
                return JsonValue(true);
            case 'f':
                Word("false");
                return JsonValue(false);
            case 'n':
                Word("null");
                return JsonValue(nullptr);
            default:
                return JsonValue(Number());
        }
    }

    JsonValue ObjectValue(int depth) {
        Expect('{');
        JsonValue object{JsonValue::Object{}};
        SkipSpace();
        if (Peek() == '}') {
            ++pos_;
            return object;
        }
        for (;;) {
            SkipSpace();
            if (Peek() != '"') {
                Fail("expected a member name");
            }
            std::string name = String();
            SkipSpace();
            Expect(':');
            SkipSpace();
            object.Set(name, Value(depth + 1));
            SkipSpace();
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            Expect('}');
            return object;
        }
    }

    JsonValue ArrayValue(int depth) {
        Expect('[');
        JsonValue::Array items;
        SkipSpace();
        if (Peek() == ']') {
            ++pos_;
            return JsonValue(std::move(items));
        }
        for (;;) {
            SkipSpace();
            items.push_back(Value(depth + 1));
            SkipSpace();
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            Expect(']');
            return JsonValue(std::move(items));
        }
    }

    unsigned Hex4() {
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = Peek();
            unsigned digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<unsigned>(c - 'A' + 10);
            } else {
                Fail("bad \\u escape");
            }
            code = code * 16 + digit;
            ++pos_;
        }
        return code;
    }

    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::string String() {
        Expect('"');
        std::string out;
        for (;;) {
            if (AtEnd()) {
                Fail("unterminated string");
            }
            const char c = text_[pos_++];
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                --pos_;
                Fail("control character in string");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            const char escape = Peek();
            ++pos_;
            switch (escape) {
                case '"':
                case '\\':
                case '/':
                    out += escape;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    unsigned code = Hex4();
                    if (code >= 0xD800 && code < 0xDC00) {
                        // A high surrogate must be followed by its low half.
                        Word("\\u");
                        const unsigned low = Hex4();
                        if (low < 0xDC00 || low >= 0xE000) {
                            Fail("unpaired surrogate");
                        }
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    } else if (code >= 0xDC00 && code < 0xE000) {
                        Fail("unpaired surrogate");
                    }
                    AppendUtf8(out, code);
                    break;
                }
                default:
                    --pos_;
                    Fail("bad escape");
            }
        }
    }

    double Number() {
        const size_t start = pos_;
        if (Peek() == '-') {
            ++pos_;
        }
        if (Peek() == '0') {
            ++pos_;
        } else if (Peek() >= '1' && Peek() <= '9') {
            while (Peek() >= '0' && Peek() <= '9') {
                ++pos_;
            }
        } else {
            Fail("unexpected character");
        }
        if (Peek() == '.') {
            ++pos_;
            if (!(Peek() >= '0' && Peek() <= '9')) {
                Fail("digit expected after '.'");
            }
            while (Peek() >= '0' && Peek() <= '9') {
                ++pos_;
            }
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++pos_;
            if (Peek() == '+' || Peek() == '-') {
                ++pos_;
            }
            if (!(Peek() >= '0' && Peek() <= '9')) {
                Fail("digit expected in exponent");
            }
            while (Peek() >= '0' && Peek() <= '9') {
                ++pos_;
            }
        }
        // strtod on a copy: the grammar above already holds, and the text is not NUL-bounded.
        const std::string digits = text_.substr(start, pos_ - start);
        return std::strtod(digits.c_str(), nullptr);
    }

    const std::string& text_;
    size_t pos_ = 0;
};

// Length of the well-formed UTF-8 sequence at text[i], or 0 when there is none.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    unsigned minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    unsigned code = lead & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code < 0xE000;
    return code >= minimum && code <= 0x10FFFF && !surrogate ? length : 0;
}

void AppendEscaped(std::string& out, unsigned code) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
    out += escaped;
}

// Texts from the system (paths, registry names) need not be UTF-8, as on Windows with a non-ASCII
// user name; a byte that starts no well-formed sequence is taken as Latin-1, so the document
// stays valid.
void WriteString(std::string& out, const std::string& text) {
    out += '"';
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto code = static_cast<unsigned char>(c);
        if (code >= 0x80) {
            const size_t length = Utf8SequenceLength(text, i);
            if (length == 0) {
                AppendEscaped(out, code);
            } else {
                out.append(text, i, length);
                i += length - 1;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (code < 0x20) {
                    AppendEscaped(out, code);
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void WriteValue(std::string& out, const JsonValue& value) {
    if (const bool* b = value.AsBool()) {
        out += *b ? "true" : "false";
    } else if (const double* number = value.AsNumber()) {
        if (!std::isfinite(*number)) {
            out += "null";  // JSON has no infinities
        } else {
            char text[32];
            std::snprintf(text, sizeof text, "%.10g", *number);
            out += text;
        }
    } else if (const std::string* text = value.AsString()) {
        WriteString(out, *text);
    } else if (const JsonValue::Array* items = value.AsArray()) {
        out += '[';
        for (size_t i = 0; i < items->size(); ++i) {
            if (i > 0) {
                out += ',';
            }
            WriteValue(out, (*items)[i]);
        }
        out += ']';
    } else if (const JsonValue::Object* members = value.AsObject()) {
        out += '{';
        for (size_t i = 0; i < members->size(); ++i) {
            if (i > 0) {
                out += ',';
            }
            WriteString(out, (*members)[i].first);
            out += ':';
            WriteValue(out, (*members)[i].second);
        }
        out += '}';
    } else {
        out += "null";
    }
}

}  // namespace

const JsonValue* JsonValue::Find(const std::string& name) const {
    const Object* members = AsObject();
    if (members == nullptr) {
        return nullptr;
    }
    for (const auto& [key, value] : *members) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

JsonValue& JsonValue::Set(const std::string& name, JsonValue value) {
    if (IsNull()) {
        value_ = Object{};
    }
    Object& members = std::get<Object>(value_);
    for (auto& [key, existing] : members) {
        if (key == name) {
            existing = std::move(value);
            return existing;
        }
    }
    members.emplace_back(name, std::move(value));
    return members.back().second;
}

std::string JsonValue::Write() const {
    std::string out;
    WriteValue(out, *this);
    return out;
}

JsonParseResult ParseJson(const std::string& text) {
    return Parser(text).Document();
}
