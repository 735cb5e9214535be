#include "WellFormedXml.h"

#include "XmlScanner.h"
#include "XmlSource.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Corvane {
namespace {

// The structural productions of XML 1.0: prolog, document type declaration, elements. Each
// member function is one production (number in its comment) with the well-formedness
// constraints that belong to it. Nothing recurses: nested elements and content-model groups
// are kept on explicit stacks.
class Checker : public XmlScanner {
public:
    using XmlScanner::XmlScanner;

    // [1] document ::= prolog element Misc*
    void document() {
        prolog();
        if (atEnd()) {
            fail(pos_ == 0 ? "the file is empty" : "the file ends before the root element");
        }
        if (current() != '<' || lookingAt("<!")) {
            fail(current() == '<' ? "markup that may not stand before the root element"
                                  : "text before the root element");
        }
        element();
        misc();
        if (!atEnd()) {
            fail(lookingAt("</")   ? "an end tag after the root element has ended"
                 : lookingAt("<!") ? "markup that may not follow the root element"
                 : lookingAt("<")  ? "a second root element"
                                   : "text after the root element");
        }
    }

private:
    struct OpenElement {
        std::uint32_t offset = 0; // of the name in its start tag
        std::uint32_t length = 0;
    };

    std::string nameOf(const OpenElement& e) const {
        return std::string(s_.substr(e.offset, e.length));
    }

    // [22] prolog ::= XMLDecl? Misc* (doctypedecl Misc*)?
    void prolog() {
        if (lookingAt("<?xml") && pos_ + 5 < s_.size() &&
            (isXmlSpace(static_cast<unsigned char>(s_[pos_ + 5])) || s_[pos_ + 5] == '?')) {
            xmlDecl();
        }
        misc();
        if (lookingAt("<!DOCTYPE")) {
            doctypeDecl();
            misc();
        }
    }

    // [23] XMLDecl, [24] VersionInfo, [26] VersionNum, [80] EncodingDecl, [32] SDDecl
    void xmlDecl() {
        pos_ += 5;
        requireSpace();
        if (!keyword("version")) {
            fail("the XML declaration does not begin with the version");
        }
        eq();
        const char quote = openQuote();
        const std::size_t digits = pos_ + 2;
        if (!skip("1.")) {
            fail("an XML version other than 1.x");
        }
        while (current() >= '0' && current() <= '9') {
            ++pos_;
        }
        if (pos_ == digits) {
            fail("an XML version other than 1.x");
        }
        closeQuote(quote, "version number");
        bool separated = space();
        if (separated && keyword("encoding")) {
            encodingName();
            separated = space();
        }
        if (separated && keyword("standalone")) {
            eq();
            const char q = openQuote();
            if (!skip("yes") && !skip("no")) {
                fail("standalone must be \"yes\" or \"no\"");
            }
            closeQuote(q, "standalone value");
            space();
        }
        expect("?>", "'?>' ending the XML declaration");
    }

    // [81] EncName ::= [A-Za-z] ([A-Za-z0-9._] | '-')*
    void encodingName() {
        eq();
        const char quote = openQuote();
        const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
        if (!letter(current())) {
            fail("a malformed encoding name");
        }
        while (letter(current()) || (current() >= '0' && current() <= '9') || current() == '.' ||
               current() == '_' || current() == '-') {
            ++pos_;
        }
        closeQuote(quote, "encoding name");
    }

    // [27] Misc
    void misc() {
        for (;;) {
            if (lookingAt("<!--")) {
                comment();
            } else if (lookingAt("<?")) {
                pi();
            } else if (!space()) {
                return;
            }
        }
    }

    // [28] doctypedecl, [28a] DeclSep, [28b] intSubset
    void doctypeDecl() {
        pos_ += 9;
        requireSpace();
        name("the document type name");
        if (space() && (lookingAt("SYSTEM") || lookingAt("PUBLIC"))) {
            externalId(false);
            space();
        }
        if (skip("[")) {
            for (;;) {
                space();
                if (skip("]")) {
                    break;
                }
                markupDecl();
            }
            space();
        }
        expect(">", "'>' ending the document type declaration");
    }

    // [29] markupdecl
    void markupDecl() {
        if (lookingAt("<!ELEMENT")) {
            elementDecl();
        } else if (lookingAt("<!ATTLIST")) {
            attlistDecl();
        } else if (lookingAt("<!ENTITY")) {
            entityDecl();
        } else if (lookingAt("<!NOTATION")) {
            notationDecl();
        } else if (lookingAt("<!--")) {
            comment();
        } else if (lookingAt("<?")) {
            pi();
        } else if (lookingAt("%")) {
            fail("a parameter-entity reference, which the reader does not expand");
        } else {
            fail(atEnd() ? "the file ends inside the document type declaration"
                         : "expected a markup declaration or ']'");
        }
    }

    // [45] elementdecl, [46] contentspec
    void elementDecl() {
        pos_ += 9;
        requireSpace();
        name("an element name");
        requireSpace();
        if (!keyword("EMPTY") && !keyword("ANY")) {
            expect("(", "'(', EMPTY or ANY");
            space();
            if (skip("#PCDATA")) {
                mixed();
            } else {
                children();
            }
        }
        space();
        expect(">", "'>' ending the element declaration");
    }

    // [47] children, [48] cp, [49] choice, [50] seq, after the first '('. Each open group
    // remembers its separator, which may not change within it.
    void children() {
        std::vector<char> separators{'\0'};
        for (;;) {
            space();
            if (skip("(")) {
                separators.push_back('\0');
                continue;
            }
            name("an element name");
            occurrence();
            for (;;) {
                space();
                if (skip(")")) {
                    separators.pop_back();
                    occurrence();
                    if (separators.empty()) {
                        return;
                    }
                    continue;
                }
                const char c = current();
                if (c != '|' && c != ',') {
                    fail("expected '|', ',' or ')' in a content model");
                }
                if (separators.back() != '\0' && separators.back() != c) {
                    fail("a content-model group that mixes '|' and ','");
                }
                separators.back() = c;
                ++pos_;
                break;
            }
        }
    }
    void occurrence() {
        if (current() == '?' || current() == '*' || current() == '+') {
            ++pos_;
        }
    }

    // [51] Mixed, after "(#PCDATA"
    void mixed() {
        bool names = false;
        for (;;) {
            space();
            if (!skip("|")) {
                break;
            }
            space();
            name("an element name");
            names = true;
        }
        if (names) {
            expect(")*", "')*' ending a mixed content model");
        } else {
            expect(")", "')'");
            skip("*");
        }
    }

    // [52] AttlistDecl, [53] AttDef, [60] DefaultDecl
    void attlistDecl() {
        pos_ += 9;
        requireSpace();
        name("an element name");
        for (;;) {
            const bool separated = space();
            if (skip(">")) {
                return;
            }
            if (!separated) {
                fail(atEnd() ? "the file ends inside an attribute-list declaration"
                             : "expected white space or '>' in an attribute-list declaration");
            }
            name("an attribute name");
            requireSpace();
            attType();
            requireSpace();
            if (!keyword("#REQUIRED") && !keyword("#IMPLIED")) {
                if (keyword("#FIXED")) {
                    requireSpace();
                }
                attValue();
            }
        }
    }

    // [54] AttType, [55] StringType, [56] TokenizedType, [57]-[59] EnumeratedType
    void attType() {
        const bool notation = keyword("NOTATION");
        if (notation) {
            requireSpace();
        } else if (current() != '(') {
            for (const char* type :
                 {"CDATA", "ID", "IDREF", "IDREFS", "ENTITY", "ENTITIES", "NMTOKEN", "NMTOKENS"}) {
                if (keyword(type)) {
                    return;
                }
            }
            fail("an unknown attribute type");
        }
        expect("(", "'('");
        do {
            space();
            if (notation) {
                name("a notation name");
            } else {
                nmtoken();
            }
            space();
        } while (skip("|"));
        expect(")", "')'");
    }

    // [70] EntityDecl, [71] GEDecl, [72] PEDecl, [73] EntityDef, [74] PEDef, [76] NDataDecl
    void entityDecl() {
        pos_ += 8;
        requireSpace();
        const bool parameter = skip("%");
        if (parameter) {
            requireSpace();
        }
        const std::string_view entity = name("an entity name");
        requireSpace();
        if (lookingAt("SYSTEM") || lookingAt("PUBLIC")) {
            externalId(false);
            if (!parameter && space() && keyword("NDATA")) {
                requireSpace();
                name("a notation name");
            }
        } else {
            entityValue();
        }
        if (!parameter) {
            declaredEntities_.insert(entity);
        }
        space();
        expect(">", "'>' ending the entity declaration");
    }

    // [9] EntityValue; WFC: PEs in Internal Subset. General entity references in it are left
    // as written (bypassed) until the entity is used, which the reader never does.
    void entityValue() {
        const char quote = openQuote();
        for (;;) {
            if (atEnd()) {
                fail("the file ends inside an entity value");
            }
            const char c = s_[pos_];
            if (c == quote) {
                ++pos_;
                return;
            }
            if (c == '%') {
                fail("a parameter-entity reference inside a declaration");
            }
            if (c != '&') {
                character();
            } else if (lookingAt("&#")) {
                reference();
            } else {
                const std::size_t start = pos_++;
                name("an entity name");
                if (!skip(";")) {
                    fail("an entity reference without its closing ';'", start);
                }
            }
        }
    }

    // [82] NotationDecl
    void notationDecl() {
        pos_ += 10;
        requireSpace();
        name("a notation name");
        requireSpace();
        externalId(true);
        space();
        expect(">", "'>' ending the notation declaration");
    }

    // [75] ExternalID; [83] PublicID where a notation gives the public identifier alone.
    void externalId(bool publicAlone) {
        if (keyword("SYSTEM")) {
            requireSpace();
            literal(false);
        } else if (keyword("PUBLIC")) {
            requireSpace();
            literal(true);
            if (!publicAlone) {
                requireSpace();
                literal(false);
                return;
            }
            const std::size_t afterPublic = pos_;
            if (space() && (current() == '"' || current() == '\'')) {
                literal(false);
            } else {
                pos_ = afterPublic;
            }
        } else {
            fail("expected SYSTEM or PUBLIC");
        }
    }

    // [40] STag, [44] EmptyElemTag, [41] Attribute; WFC: no attribute twice. Returns whether the
    // element has content to come.
    bool startTag(OpenElement& opened) {
        ++pos_;
        opened.offset = static_cast<std::uint32_t>(pos_);
        opened.length = static_cast<std::uint32_t>(name("an element name").size());
        attributes_.clear();
        for (;;) {
            const bool separated = space();
            const bool empty = skip("/>");
            if (empty || skip(">")) {
                checkUniqueAttributes();
                return !empty;
            }
            if (!separated) {
                fail(atEnd() ? "the file ends inside a start tag"
                             : "expected white space, '>' or '/>' in a start tag");
            }
            const std::size_t at = pos_;
            attributes_.emplace_back(name("an attribute name"), at);
            eq();
            attValue();
        }
    }
    void checkUniqueAttributes() {
        std::sort(attributes_.begin(), attributes_.end());
        const auto twice =
            std::adjacent_find(attributes_.begin(), attributes_.end(),
                               [](const auto& a, const auto& b) { return a.first == b.first; });
        if (twice != attributes_.end()) {
            fail("the attribute '" + std::string(twice->first) + "' appears twice in one tag",
                 std::next(twice)->second);
        }
    }

    // [42] ETag; WFC: Element Type Match.
    void endTag(const OpenElement& open) {
        pos_ += 2;
        const std::size_t at = pos_;
        const std::string_view closing = name("an element name");
        space();
        expect(">", "'>' ending the end tag");
        if (closing != s_.substr(open.offset, open.length)) {
            fail("the end tag '" + std::string(closing) + "' does not match the start tag '" +
                     nameOf(open) + "'",
                 at);
        }
    }

    // [39] element, [43] content
    void element() {
        std::vector<OpenElement> open(1);
        if (!startTag(open.back())) {
            return;
        }
        while (!open.empty()) {
            if (atEnd()) {
                fail("the file ends inside the element '" + nameOf(open.back()) + "'");
            }
            if (lookingAt("</")) {
                endTag(open.back());
                open.pop_back();
            } else if (lookingAt("<!--")) {
                comment();
            } else if (lookingAt("<![CDATA[")) {
                cdSect();
            } else if (lookingAt("<?")) {
                pi();
            } else if (current() == '<') {
                OpenElement child;
                if (startTag(child)) {
                    open.push_back(child);
                }
            } else if (current() == '&') {
                reference();
            } else {
                charData();
            }
        }
    }

    std::vector<std::pair<std::string_view, std::size_t>> attributes_; // of the current tag
};

} // namespace

std::optional<XmlFault> findXmlFault(std::string_view bytes) {
    try {
        const XmlSource source(bytes);
        try {
            Checker(source.text()).document();
            return std::nullopt;
        } catch (const XmlScanner::Malformed& m) {
            const std::size_t at = std::min(m.at, source.text().size());
            const std::size_t offset = source.fileOffset(at);
            // Lines and columns as the text reads; for UTF-8 files that is the file's bytes.
            ConfigFileError::Position position =
                source.isFileText() ? ConfigFileError::positionAt(bytes, offset)
                                    : ConfigFileError::positionAt(source.text(), at);
            position.offset = offset;
            return XmlFault{m.reason, position};
        }
    } catch (const XmlSource::DecodeError& e) {
        return XmlFault{e.reason, ConfigFileError::positionAt(bytes, e.offset)};
    }
}

} // namespace Corvane
