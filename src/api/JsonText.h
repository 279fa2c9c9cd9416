// A JSON writer for the answers that are read most (the node list, many times a second by every
// dashboard): text appended straight into one string, without a document of values first. What it
// writes is what nlohmann-json would: strings escaped, bytes that are no UTF-8 replaced by U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace api {

class JsonText {
public:
    // Containers; the writer puts the commas between members and elements.
    JsonText& BeginObject();
    JsonText& EndObject();
    JsonText& BeginArray();
    JsonText& EndArray();
    // The name of the next member of an object.
    JsonText& Key(std::string_view name);
    JsonText& String(std::string_view text);
    JsonText& Number(int64_t value);
    JsonText& Bool(bool value);
    JsonText& Null();

    const std::string& str() const { return out_; }
    std::string Take() { return std::move(out_); }

private:
    void Separate();

    std::string out_;
    bool first_ = true;
};

// `text` as a JSON string, quotes included.
void AppendJsonString(std::string& out, std::string_view text);

} // namespace api
