#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

namespace Corvane {

// The lexical productions of XML 1.0 over decoded UTF-8 text, for the well-formedness check:
// characters, white space, names, literals, references, comments, processing instructions and
// CDATA sections. Each member that consumes input is one production (number in its comment)
// with its well-formedness constraints. The first fault throws Malformed.
class XmlScanner {
public:
    struct Malformed {
        std::string reason;
        std::size_t at; // offset in the text
    };

    explicit XmlScanner(std::string_view text)
        : s_(text) {}

protected:
    [[noreturn]] void fail(const std::string& reason, std::size_t at) const;
    [[noreturn]] void fail(const std::string& reason) const { fail(reason, pos_); }

    bool atEnd() const { return pos_ >= s_.size(); }
    char current() const { return atEnd() ? '\0' : s_[pos_]; }
    bool lookingAt(std::string_view t) const { return s_.compare(pos_, t.size(), t) == 0; }
    bool skip(std::string_view t);
    // `what` names what was expected, for the message.
    void expect(std::string_view t, const std::string& what);
    // A keyword that does not run on into a longer name.
    bool keyword(std::string_view word);

    // [2] Char: one character of text, which must be one XML allows.
    void character();
    // Characters up to and including `end`; `what` names the construct for messages.
    void charactersUntil(std::string_view end, const char* what);
    // [3] S, optional or required.
    bool space();
    void requireSpace();
    // [5] Name, [7] Nmtoken
    std::string_view name(const char* what);
    void nmtoken();
    // [25] Eq
    void eq();
    // The opening quote of a quoted value, returned.
    char openQuote();
    void closeQuote(char quote, const char* what);

    // [10] AttValue
    void attValue();
    // [11] SystemLiteral, [12] PubidLiteral
    void literal(bool pubid);
    // [66] CharRef, [67] Reference, [68] EntityRef, at '&' in content or an attribute value.
    void reference();
    // [14] CharData, up to the next markup or reference.
    void charData();
    // [15] Comment, [16] PI, [18] CDSect, each at its opening delimiter.
    void comment();
    void pi();
    void cdSect();

    std::string_view s_;
    std::size_t pos_ = 0;
    // General entities the document type declares. The reader expands none of them, so a
    // reference to one is refused as surely as a reference to an undeclared one.
    std::unordered_set<std::string_view> declaredEntities_;

private:
    char32_t charAt(std::size_t at, std::size_t& length) const;
};

bool isXmlSpace(char32_t c);

} // namespace Corvane
