#include "XmlSource.h"
#include "ValueText.h"

#include <array>
#include <optional>

namespace Corvane {
namespace {

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (const std::string_view candidate : names) {
        if (equalsIgnoreCase(name, candidate)) {
            return true;
        }
    }
    return false;
}

bool namesUtf16(std::string_view name) {
    return isOneOf(name, {"UTF-16", "UTF-16LE", "UTF-16BE", "ISO-10646-UCS-2", "UCS-2"});
}
bool namesUtf32(std::string_view name) {
    return isOneOf(name, {"UTF-32", "UTF-32LE", "UTF-32BE", "ISO-10646-UCS-4", "UCS-4"});
}
bool namesLatin1(std::string_view name) {
    return isOneOf(name, {"ISO-8859-1", "latin1"});
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value of the encoding declaration, found the way the XML library looks for it: the
// document starts with "<?xml" and white space, and "encoding" appears before "?>". Whether the
// declaration is well-formed is checked later, on the decoded text.
std::optional<std::string_view> declaredEncoding(std::string_view text) {
    if (!startsWith(text, "<?xml") || text.size() < 6 || !isSpace(text[5])) {
        return std::nullopt;
    }
    const std::string_view declaration = text.substr(0, text.find("?>"));
    std::size_t pos = declaration.find("encoding");
    if (pos == std::string_view::npos) {
        return std::nullopt;
    }
    pos += 8;
    while (pos < declaration.size() && isSpace(declaration[pos])) {
        ++pos;
    }
    if (pos >= declaration.size() || declaration[pos] != '=') {
        return std::nullopt;
    }
    ++pos;
    while (pos < declaration.size() && isSpace(declaration[pos])) {
        ++pos;
    }
    if (pos >= declaration.size() || (declaration[pos] != '"' && declaration[pos] != '\'')) {
        return std::nullopt;
    }
    const std::size_t end = declaration.find(declaration[pos], pos + 1);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return declaration.substr(pos + 1, end - pos - 1);
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Length of the UTF-8 sequence at `pos`, or 0 when it is not valid (overlong forms,
// surrogates and values beyond U+10FFFF included).
std::size_t utf8SequenceLength(std::string_view s, std::size_t pos) {
    const auto byte = [&](std::size_t i) {
        return pos + i < s.size() ? static_cast<unsigned char>(s[pos + i]) : 0u;
    };
    const auto continuation = [&](std::size_t i, unsigned lo = 0x80, unsigned hi = 0xBF) {
        return byte(i) >= lo && byte(i) <= hi;
    };
    const unsigned lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return continuation(1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned lo = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned hi = lead == 0xED ? 0x9F : 0xBF;
        return continuation(1, lo, hi) && continuation(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned lo = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned hi = lead == 0xF4 ? 0x8F : 0xBF;
        return continuation(1, lo, hi) && continuation(2) && continuation(3) ? 4 : 0;
    }
    return 0;
}

char32_t decodeUtf8(std::string_view s, std::size_t pos, std::size_t length) {
    const auto b = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(s[pos + i]));
    };
    switch (length) {
    case 1:
        return b(0);
    case 2:
        return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3:
        return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default:
        return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    }
}

} // namespace

XmlSource::XmlSource(std::string_view bytes)
    : bytes_(bytes) {
    detectEncoding();
    convert();
}

void XmlSource::detectEncoding() {
    struct Mark {
        std::string_view bytes;
        Encoding encoding;
        bool isMark; // a byte-order mark, not the start of the document itself
    };
    using namespace std::string_view_literals;
    // Longer patterns first: a UTF-32 LE mark begins like a UTF-16 LE one.
    const std::array<Mark, 9> marks = {{
        {"\xEF\xBB\xBF"sv, Encoding::UTF8, true},
        {"\xFF\xFE\0\0"sv, Encoding::UTF32LE, true},
        {"\0\0\xFE\xFF"sv, Encoding::UTF32BE, true},
        {"\xFF\xFE"sv, Encoding::UTF16LE, true},
        {"\xFE\xFF"sv, Encoding::UTF16BE, true},
        {"<\0\0\0"sv, Encoding::UTF32LE, false},
        {"\0\0\0<"sv, Encoding::UTF32BE, false},
        {"<\0?\0"sv, Encoding::UTF16LE, false},
        {"\0<\0?"sv, Encoding::UTF16BE, false},
    }};
    for (const Mark& mark : marks) {
        if (startsWith(bytes_, mark.bytes)) {
            encoding_ = mark.encoding;
            markLength_ = mark.isMark ? mark.bytes.size() : 0;
            return;
        }
    }
}

void XmlSource::convert() {
    const std::string_view body = bytes_.substr(markLength_);
    if (encoding_ == Encoding::UTF8) {
        convertAsciiFamily(body);
    } else {
        convertWide(body);
    }
}

void XmlSource::convertAsciiFamily(std::string_view body) {
    const std::optional<std::string_view> declared = declaredEncoding(body);
    if (declared && namesLatin1(*declared) && markLength_ == 0) {
        encoding_ = Encoding::LATIN1;
        for (const char c : body) {
            appendUtf8(converted_, static_cast<unsigned char>(c));
        }
        text_ = converted_;
        return;
    }
    const bool other = declared && !isOneOf(*declared, {"UTF-8", "UTF8"});
    for (std::size_t pos = 0; pos < body.size();) {
        const std::size_t length = utf8SequenceLength(body, pos);
        if (length == 0 || (other && length > 1)) {
            throw DecodeError{other ? "the file declares the encoding \"" + std::string(*declared) +
                                          "\", which the reader cannot decode"
                                    : "bytes that are not UTF-8 text (the file declares "
                                      "no other encoding)",
                              markLength_ + pos};
        }
        pos += length;
    }
    if (other && (namesUtf16(*declared) || namesUtf32(*declared))) {
        throw DecodeError{"the file declares the encoding \"" + std::string(*declared) +
                              "\" but is not encoded in it",
                          markLength_};
    }
    text_ = body;
}

void XmlSource::convertWide(std::string_view body) {
    const bool wide = encoding_ == Encoding::UTF32LE || encoding_ == Encoding::UTF32BE;
    const bool little = encoding_ == Encoding::UTF16LE || encoding_ == Encoding::UTF32LE;
    const std::size_t unit = wide ? 4 : 2;
    const auto read = [&](std::size_t pos) {
        char32_t value = 0;
        for (std::size_t i = 0; i < unit; ++i) {
            const std::size_t at = little ? pos + unit - 1 - i : pos + i;
            value = (value << 8) | static_cast<unsigned char>(body[at]);
        }
        return value;
    };
    const char* name = wide ? "UTF-32" : "UTF-16";
    converted_.reserve(body.size() / unit);
    for (std::size_t pos = 0; pos < body.size(); pos += unit) {
        if (pos + unit > body.size()) {
            throw DecodeError{std::string("the file ends inside a ") + name + " character",
                              markLength_ + pos};
        }
        char32_t c = read(pos);
        if (!wide && c >= 0xD800 && c <= 0xDBFF && pos + 2 * unit <= body.size()) {
            const char32_t low = read(pos + unit);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                pos += unit;
            }
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            throw DecodeError{std::string("bytes that are not ") + name + " text",
                              markLength_ + pos};
        }
        appendUtf8(converted_, c);
    }
    text_ = converted_;
    const std::optional<std::string_view> declared = declaredEncoding(text_);
    if (declared ? !(wide ? namesUtf32(*declared) : namesUtf16(*declared)) : markLength_ == 0) {
        throw DecodeError{declared ? "the file declares the encoding \"" + std::string(*declared) +
                                         "\" but is encoded in " + name
                                   : std::string("the file is ") + name +
                                         " text without a byte-order mark or declaration",
                          0};
    }
}

char32_t XmlSource::charAt(std::string_view text, std::size_t pos, std::size_t& length) {
    length = utf8SequenceLength(text, pos);
    return length == 0 ? 0xFFFFFFFF : decodeUtf8(text, pos, length);
}

std::size_t XmlSource::fileOffset(std::size_t textOffset) const {
    if (encoding_ == Encoding::UTF8) {
        return markLength_ + textOffset;
    }
    std::size_t offset = markLength_;
    for (std::size_t pos = 0; pos < textOffset && pos < text_.size();) {
        std::size_t length = 0;
        const char32_t c = charAt(text_, pos, length);
        switch (encoding_) {
        case Encoding::LATIN1:
            offset += 1;
            break;
        case Encoding::UTF16LE:
        case Encoding::UTF16BE:
            offset += c >= 0x10000 ? 4 : 2;
            break;
        default:
            offset += 4;
            break;
        }
        pos += length;
    }
    return offset;
}

} // namespace Corvane
