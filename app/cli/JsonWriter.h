#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Corvane::cli {

// Builds one JSON text, compactly, for the lines and messages other programs read (watch and
// info --json, the broker's payloads). The caller nests objects and arrays properly and gives a
// key before each member of an object; commas come by themselves. Strings are taken as UTF-8:
// quotes, backslashes and control characters are escaped, and each byte that does not belong to
// a well-formed sequence becomes U+FFFD, so the text is always valid JSON.
class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view name);

    JsonWriter& string(std::string_view text);
    JsonWriter& boolean(bool value);
    JsonWriter& integer(std::int64_t value);
    // Fixed decimals with '.', whatever the locale; NaN and infinities (which JSON lacks) are
    // written as null.
    JsonWriter& number(double value, int decimals);
    JsonWriter& null();

    const std::string& text() const { return text_; }

private:
    void separate();

    std::string text_;
    std::vector<bool> first_; // per open object or array: no member written yet
    bool afterKey_ = false;
};

// `text` as a JSON string literal, quotes included.
std::string jsonQuoted(std::string_view text);

} // namespace Corvane::cli
