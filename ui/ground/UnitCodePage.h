#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace Corvane {

// The window's text at the unit boundary. Names and scripts travel as 8-bit text in the unit's
// code page (tarn::UnitText): every byte the unit sends maps to one character and back, and a
// character the code page lacks is sent as '?'.
class UnitCodePage {
public:
    // One byte per character. U+0000 also becomes '?': the unit's texts end at their first zero
    // byte, so an embedded one would silently cut off the rest.
    static std::string toUnit(const QString& text);
    // The same, never longer than maxBytes (the rest is dropped).
    static std::string toUnit(const QString& text, std::size_t maxBytes);
    static QString fromUnit(std::string_view bytes);
};

} // namespace Corvane
