#include "XmlScanner.h"

#include "XmlSource.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace Corvane {
namespace {

// [2] Char
bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// [4] NameStartChar
bool isNameStartChar(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ':' || c == '_' ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

// [4a] NameChar
bool isNameChar(char32_t c) {
    return isNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// [13] PubidChar
bool isPubidChar(char32_t c) {
    constexpr std::string_view marks = "-'()+,./:=?;!*#@$_%";
    return c == 0x20 || c == 0xD || c == 0xA || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= '0' && c <= '9') ||
           (c < 0x80 && marks.find(static_cast<char>(c)) != std::string_view::npos);
}

bool isPredefinedEntity(std::string_view name) {
    return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

int digitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (hex && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (hex && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

bool isXmlSpace(char32_t c) {
    return c == 0x20 || c == 0x9 || c == 0xD || c == 0xA;
}

void XmlScanner::fail(const std::string& reason, std::size_t at) const {
    throw Malformed{reason, at};
}

bool XmlScanner::skip(std::string_view t) {
    if (!lookingAt(t)) {
        return false;
    }
    pos_ += t.size();
    return true;
}

void XmlScanner::expect(std::string_view t, const std::string& what) {
    if (!skip(t)) {
        fail(atEnd() ? "the file ends where " + what + " was expected" : "expected " + what);
    }
}

bool XmlScanner::keyword(std::string_view word) {
    if (!lookingAt(word)) {
        return false;
    }
    const std::size_t after = pos_ + word.size();
    std::size_t length = 0;
    if (after < s_.size() && isNameChar(charAt(after, length))) {
        return false;
    }
    pos_ = after;
    return true;
}

char32_t XmlScanner::charAt(std::size_t at, std::size_t& length) const {
    return XmlSource::charAt(s_, at, length);
}

void XmlScanner::character() {
    std::size_t length = 0;
    const char32_t c = charAt(pos_, length);
    if (!isXmlChar(c)) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
        fail(std::string("the character ") + code + " is not allowed in XML");
    }
    pos_ += length;
}

void XmlScanner::charactersUntil(std::string_view end, const char* what) {
    for (;;) {
        if (atEnd()) {
            fail(std::string("the file ends inside ") + what);
        }
        if (skip(end)) {
            return;
        }
        character();
    }
}

bool XmlScanner::space() {
    const std::size_t start = pos_;
    while (!atEnd() && isXmlSpace(static_cast<unsigned char>(s_[pos_]))) {
        ++pos_;
    }
    return pos_ > start;
}

void XmlScanner::requireSpace() {
    if (!space()) {
        fail(atEnd() ? "the file ends where white space was expected" : "expected white space");
    }
}

std::string_view XmlScanner::name(const char* what) {
    const std::size_t start = pos_;
    std::size_t length = 0;
    if (atEnd() || !isNameStartChar(charAt(pos_, length))) {
        fail(atEnd() ? std::string("the file ends where ") + what + " was expected"
                     : std::string("expected ") + what);
    }
    pos_ += length;
    while (!atEnd() && isNameChar(charAt(pos_, length))) {
        pos_ += length;
    }
    return s_.substr(start, pos_ - start);
}

void XmlScanner::nmtoken() {
    const std::size_t start = pos_;
    std::size_t length = 0;
    while (!atEnd() && isNameChar(charAt(pos_, length))) {
        pos_ += length;
    }
    if (pos_ == start) {
        fail("expected a name token");
    }
}

void XmlScanner::eq() {
    space();
    expect("=", "'='");
    space();
}

char XmlScanner::openQuote() {
    if (current() != '"' && current() != '\'') {
        fail(atEnd() ? "the file ends where a quoted value was expected"
                     : "expected a quoted value");
    }
    return s_[pos_++];
}

void XmlScanner::closeQuote(char quote, const char* what) {
    if (current() != quote) {
        fail(std::string("a malformed ") + what);
    }
    ++pos_;
}

void XmlScanner::attValue() {
    const char quote = openQuote();
    for (;;) {
        if (atEnd()) {
            fail("the file ends inside an attribute value");
        }
        const char c = s_[pos_];
        if (c == quote) {
            ++pos_;
            return;
        }
        if (c == '<') {
            fail("a '<' inside an attribute value");
        }
        if (c == '&') {
            reference();
        } else {
            character();
        }
    }
}

void XmlScanner::literal(bool pubid) {
    const char quote = openQuote();
    for (;;) {
        if (atEnd()) {
            fail("the file ends inside a quoted literal");
        }
        if (s_[pos_] == quote) {
            ++pos_;
            return;
        }
        std::size_t length = 0;
        if (pubid && !isPubidChar(charAt(pos_, length))) {
            fail("a character that a public identifier may not hold");
        }
        character();
    }
}

void XmlScanner::reference() {
    const std::size_t start = pos_;
    if (skip("&#")) {
        const bool hex = skip("x");
        std::uint32_t value = 0;
        std::size_t digits = 0;
        for (int d = 0; (d = digitValue(current(), hex)) >= 0; ++pos_, ++digits) {
            value = std::min<std::uint32_t>(value * (hex ? 16u : 10u) + static_cast<unsigned>(d),
                                            0x110000);
        }
        if (digits == 0 || !skip(";")) {
            fail("a malformed character reference", start);
        }
        if (!isXmlChar(value)) {
            fail("a character reference to a character XML does not allow", start);
        }
        return;
    }
    ++pos_;
    std::size_t length = 0;
    if (atEnd() || !isNameStartChar(charAt(pos_, length))) {
        fail("an '&' that starts no reference (the character itself is written &amp;)", start);
    }
    const std::string_view entity = name("an entity name");
    if (!skip(";")) {
        fail("an entity reference without its closing ';'", start);
    }
    if (!isPredefinedEntity(entity)) {
        fail(declaredEntities_.count(entity) != 0
                 ? "a reference to the entity '" + std::string(entity) +
                       "', which the reader does not expand"
                 : "a reference to the undeclared entity '" + std::string(entity) + "'",
             start);
    }
}

void XmlScanner::charData() {
    while (!atEnd() && s_[pos_] != '<' && s_[pos_] != '&') {
        const auto c = static_cast<unsigned char>(s_[pos_]);
        if (c == ']' && lookingAt("]]>")) {
            fail("']]>' in text, where it may only end a CDATA section");
        }
        if (c >= 0x20 && c < 0x80) {
            ++pos_;
        } else {
            character();
        }
    }
}

void XmlScanner::comment() {
    pos_ += 4; // <!--
    for (;;) {
        if (atEnd()) {
            fail("the file ends inside a comment");
        }
        if (lookingAt("--")) {
            if (!skip("-->")) {
                fail("'--' inside a comment");
            }
            return;
        }
        character();
    }
}

void XmlScanner::pi() {
    pos_ += 2; // <?
    const std::size_t start = pos_;
    const std::string_view target = name("a processing instruction target");
    const auto lower = [&](std::size_t i) { return static_cast<char>(target[i] | 0x20); };
    if (target.size() == 3 && lower(0) == 'x' && lower(1) == 'm' && lower(2) == 'l') {
        fail("an XML declaration that is not at the very start of the file", start);
    }
    if (skip("?>")) {
        return;
    }
    requireSpace();
    charactersUntil("?>", "a processing instruction");
}

void XmlScanner::cdSect() {
    pos_ += 9; // <![CDATA[
    charactersUntil("]]>", "a CDATA section");
}

} // namespace Corvane
