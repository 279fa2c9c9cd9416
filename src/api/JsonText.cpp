#include "api/JsonText.h"

namespace api {

namespace {

// At the start of `s`, a byte of 0x80 or above: the length of the well-formed UTF-8 character
// there (`valid` true), or of the longest start of one that breaks off (`valid` false), which is
// replaced by one U+FFFD as a whole, as Unicode recommends.
size_t Utf8Sequence(std::string_view s, bool* valid) {
    const auto b = [&](size_t i) { return i < s.size() ? static_cast<uint8_t>(s[i]) : 0; };
    const uint8_t c = b(0);
    size_t need = 0;
    uint8_t low = 0x80, high = 0xBF; // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        low = c == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = c == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    }
    *valid = false;
    if (need == 0 || b(1) < low || b(1) > high)
        return 1;
    for (size_t i = 2; i <= need; ++i) {
        if ((b(i) & 0xC0) != 0x80)
            return i;
    }
    *valid = true;
    return need + 1;
}

} // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<uint8_t>(text[i]);
        if (c >= 0x80) {
            bool valid = false;
            const size_t n = Utf8Sequence(text.substr(i), &valid);
            if (valid)
                out.append(text.data() + i, n);
            else
                out += "\xEF\xBF\xBD";
            i += n;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
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
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
}

void JsonText::Separate() {
    if (!first_)
        out_ += ',';
    first_ = false;
}

JsonText& JsonText::BeginObject() {
    Separate();
    out_ += '{';
    first_ = true;
    return *this;
}

JsonText& JsonText::EndObject() {
    out_ += '}';
    first_ = false;
    return *this;
}

JsonText& JsonText::BeginArray() {
    Separate();
    out_ += '[';
    first_ = true;
    return *this;
}

JsonText& JsonText::EndArray() {
    out_ += ']';
    first_ = false;
    return *this;
}

JsonText& JsonText::Key(std::string_view name) {
    Separate();
    AppendJsonString(out_, name);
    out_ += ':';
    first_ = true; // the value follows without a comma
    return *this;
}

JsonText& JsonText::String(std::string_view text) {
    Separate();
    AppendJsonString(out_, text);
    return *this;
}

JsonText& JsonText::Number(int64_t value) {
    Separate();
    out_ += std::to_string(value);
    return *this;
}

JsonText& JsonText::Bool(bool value) {
    Separate();
    out_ += value ? "true" : "false";
    return *this;
}

JsonText& JsonText::Null() {
    Separate();
    out_ += "null";
    return *this;
}

} // namespace api
