#pragma once

#include <string>
#include <string_view>

namespace tarn {

// The unit stores names and scripts as 8-bit text in Windows-1252, as the WHATWG encoding
// standard defines it: 0x80-0x9F by its table, and the five bytes that table leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) as the C1 controls of the same value. Every byte therefore has
// a character, so text read from the unit and written back arrives byte for byte unchanged.
class UnitText {
public:
    // Unit bytes to UTF-8. Never fails.
    static std::string toUtf8(std::string_view unitBytes);

    // UTF-8 to unit bytes. A character the code page lacks becomes '?', and so does each byte
    // of a malformed UTF-8 sequence, so the result always has one byte per character.
    static std::string fromUtf8(std::string_view utf8);

    // The character a unit byte stands for, as a Unicode code point.
    static char32_t toCodePoint(unsigned char byte);

    // The unit byte for a code point, or '?' when the code page lacks it.
    static unsigned char fromCodePoint(char32_t codePoint);
};

} // namespace tarn
