#include "ConfigFileError.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace Corvane;
using namespace Corvane::test;

namespace {

// Writes `document` to a file, reads it into a configured object and expects the read to fail
// with the path and a position, leaving every item of the object as it was.
ConfigFileError expectRefused(const std::string& document) {
    TempDir dir;
    const std::string path = dir.file("c.xml");
    writeBytes(path, document);
    TarnConfig config = fullConfig(pointDecimalLocale());
    const std::string before = config.toFileBytes();
    try {
        config.readConfigFile(path);
    } catch (const ConfigFileError& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_TRUE(e.position());
        EXPECT_EQ(config.toFileBytes(), before);
        return e;
    }
    ADD_FAILURE() << "read without an error: " << document;
    return ConfigFileError(path, "");
}

std::string utf16(const std::u16string& text, bool bigEndian, bool mark) {
    std::string bytes = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (const char16_t c : text) {
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

} // namespace

TEST(ConfigWellFormed, MalformedDocumentsAreRefusedAtTheirFault) {
    struct Case {
        std::string document;
        const char* reason; // part of the reason
        std::size_t line;
        std::size_t column;
    };
    const Case cases[] = {
        {"<TarnConfig><Mode>Auto</Mode></TarnConfig><TarnConfig/>", "second root", 1, 43},
        {"<TarnConfig/><!-- c --><Mode/>", "second root", 1, 24},
        {"<TarnConfig/>\r\nMode", "text after the root", 2, 1},
        {"<TarnConfig/></IP>", "end tag after the root", 1, 14},
        {"Mode<TarnConfig/>", "text before the root", 1, 1},
        {"<TarnConfig><PIN>1 & 2</PIN></TarnConfig>", "'&' that starts no reference", 1, 20},
        {"<TarnConfig>\r\n  <PIN>1 & 2</PIN>\r\n</TarnConfig>", "'&' that starts no", 2, 10},
        {"<TarnConfig><PIN>&nbsp;</PIN></TarnConfig>", "undeclared entity 'nbsp'", 1, 18},
        {"<TarnConfig><PIN>&amp</PIN></TarnConfig>", "closing ';'", 1, 18},
        {"<TarnConfig><PIN>&#xZZ;</PIN></TarnConfig>", "malformed character reference", 1, 18},
        {"<TarnConfig><PIN>&#;</PIN></TarnConfig>", "malformed character reference", 1, 18},
        {"<TarnConfig><PIN>&#0;</PIN></TarnConfig>", "XML does not allow", 1, 18},
        {"<TarnConfig><PIN>&#xD800;</PIN></TarnConfig>", "XML does not allow", 1, 18},
        {"<TarnConfig><PIN>&#x110000;</PIN></TarnConfig>", "XML does not allow", 1, 18},
        {"<TarnConfig><Mode>Auto</Mdoe></TarnConfig>", "does not match", 1, 25},
        {"<TarnConfig><IP></TarnConfig>", "start tag 'IP'", 1, 19},
        {"<TarnConfig a=\"1\" a=\"2\"/>", "'a' appears twice", 1, 19},
        {"<TarnConfig a=\"<\"/>", "'<' inside an attribute", 1, 16},
        {"<TarnConfig a=1/>", "quoted value", 1, 15},
        {"<TarnConfig><!-- a -- b --></TarnConfig>", "'--' inside a comment", 1, 20},
        {"<TarnConfig><PIN>]]></PIN></TarnConfig>", "']]>' in text", 1, 18},
        {" <?xml version=\"1.0\"?><TarnConfig/>", "XML declaration that is not at", 1, 4},
        {"<?xml version=\"2.0\"?><TarnConfig/>", "version other than 1.x", 1, 16},
        {"<TarnConfig><PIN>\xE9</PIN></TarnConfig>", "not UTF-8", 1, 18},
        {"<TarnConfig><PIN>\x01</PIN></TarnConfig>", "U+0001", 1, 18},
        {"<!DOCTYPE TarnConfig [%p;]><TarnConfig/>", "parameter-entity", 1, 23},
        {"<!DOCTYPE TarnConfig [<!ENTITY m \"Manual\">]><TarnConfig>&m;</TarnConfig>",
         "'m', which the reader does not expand", 1, 57},
        {"<!-- only a comment -->", "ends before the root", 1, 24},
        {"", "empty", 1, 1},
    };
    for (const Case& c : cases) {
        const ConfigFileError e = expectRefused(c.document);
        EXPECT_NE(e.reason().find(c.reason), std::string::npos) << c.document << ": " << e.reason();
        ASSERT_TRUE(e.position()) << c.document;
        EXPECT_EQ(e.position()->line, c.line) << c.document << ": " << e.reason();
        EXPECT_EQ(e.position()->column, c.column) << c.document << ": " << e.reason();
    }
}

TEST(ConfigWellFormed, EveryTruncatedFileIsRefused) {
    const std::string full = expectedFile("full.xml");
    for (std::size_t length = 0; length < full.size(); ++length) {
        const ConfigFileError e = expectRefused(full.substr(0, length));
        ASSERT_TRUE(e.position());
        EXPECT_LE(e.position()->offset, length) << e.reason();
    }
}

TEST(ConfigWellFormed, WellFormedDocumentsReadAsBefore) {
    const std::pair<std::string, const char*> cases[] = {
        {"<?xml version=\"1.0\" standalone=\"yes\"?><?xml-stylesheet href=\"a\"?>" +
             inRoot("<PIN>12</PIN>") + "<!-- end --><?p?>\r\n",
         "12"},
        {"<!DOCTYPE TarnConfig PUBLIC \"-//Tarn//EN\" \"tarn.dtd\" [\n"
         "<!ELEMENT TarnConfig (Mode?, (PIN | IP)*)><!ELEMENT PIN (#PCDATA | b)*>\n"
         "<!ATTLIST PIN kind (a|b) \"a\" id ID #IMPLIED f CDATA #FIXED \"&lt;&#65;\">\n"
         "<!NOTATION png PUBLIC \"-//png\"><!ENTITY unused \"x\"><!ENTITY % p \"y\">\n"
         "<!-- c --><?p d?>]>" +
             inRoot("<PIN>12</PIN>"),
         "12"},
        {inRoot("<PIN kind='a' b=\"&lt;&#65;&#x42;\" >12</PIN >"), "12"},
        {inRoot("<PIN>&#x41;<![CDATA[&<]]>&quot;&apos;&gt;</PIN>"), "A&<\"'>"},
        {inRoot("<PIN>1<!-- c -->2<?p x?>3</PIN>"), "123"},
        {inRoot("<x:\u00dcn\u00efcode\u00b7-1 xmlns:x=\"u\"/><PIN>\u00e9\U0001F600</PIN>"),
         "\u00e9\U0001F600"},
        {"<?xml version='1.0' encoding='ISO-8859-1'?>" + inRoot("<PIN>\xE9</PIN>"), "\u00e9"},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + inRoot("<PIN>ascii</PIN>"), "ascii"},
        {utf16(u"<TarnConfig><PIN>\u00e9</PIN></TarnConfig>", true, true), "\u00e9"},
        {utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><TarnConfig><PIN>\u00e9</PIN>"
               u"</TarnConfig>",
               false, false),
         "\u00e9"},
    };
    for (const auto& [document, pin] : cases) {
        EXPECT_EQ(readXml(document).getPin(), pin) << document;
    }
}

TEST(ConfigWellFormed, EncodingsTheReaderCannotDecodeAreRefused) {
    const std::pair<std::string, const char*> cases[] = {
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + inRoot("<PIN>\x80</PIN>"),
         "cannot decode"},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-16\"?><TarnConfig/>",
         "not encoded in it"},
        {utf16(u"<?pi?><TarnConfig/>", false, false), "without a byte-order mark"},
        {utf16(u"<?xml version=\"1.0\" encoding=\"utf-8\"?><TarnConfig/>", false, true),
         "but is encoded in UTF-16"},
        {utf16(u"<TarnConfig/>", false, true) + "<", "ends inside a UTF-16 character"},
        {utf16(u"<TarnConfig>\xDC00</TarnConfig>", true, true), "not UTF-16"},
    };
    for (const auto& [document, reason] : cases) {
        const ConfigFileError e = expectRefused(document);
        EXPECT_NE(e.reason().find(reason), std::string::npos) << e.reason();
    }
}

TEST(ConfigWellFormed, PositionsInOtherEncodingsCountCharacters) {
    // UTF-16: the offset counts the file's bytes, line and column the characters as read.
    const ConfigFileError e =
        expectRefused(utf16(u"<TarnConfig>\n<PIN>&x;</PIN></TarnConfig>", false, true));
    ASSERT_TRUE(e.position());
    EXPECT_EQ(e.position()->line, 2u);
    EXPECT_EQ(e.position()->column, 6u);
    EXPECT_EQ(e.position()->offset, 2u + 2u * 18u);
}

TEST(ConfigWellFormed, DocumentTypeDeclarationsFollowTheirGrammar) {
    const std::pair<const char*, bool> cases[] = {
        {"<!ELEMENT a ((b, c?)+ | d*)*>", true},
        {"<!ELEMENT a (#PCDATA)*><!ELEMENT b (#PCDATA | c | d)*><!ELEMENT e EMPTY>", true},
        {"<!ATTLIST a b NOTATION (n | m) #IMPLIED c (x|y-z|1) '1' d IDREFS #REQUIRED>", true},
        {"<!ENTITY e SYSTEM 'x' NDATA n><!ENTITY % p PUBLIC '-//p' \"p.ent\"><!ENTITY f \"&g;\">",
         true},
        {"<!NOTATION n PUBLIC '-//n'><!NOTATION m PUBLIC '-//m' 'm.exe'>", true},
        {"<!ELEMENT a (b | c, d)>", false},    // one group mixes '|' and ','
        {"<!ELEMENT a (#PCDATA | b)>", false}, // mixed content with names needs ')*'
        {"<!ELEMENT a ((b)>", false},
        {"<!ELEMENT a EMPTYISH>", false},
        {"<!ATTLIST a b BOGUS #IMPLIED>", false},
        {"<!ATTLIST a b CDATA 'x<y'>", false},
        {"<!ATTLIST a b CDATA '&undeclared;'>", false},
        {"<!ENTITY e \"%p;\">", false}, // parameter entity inside a declaration
        {"<!ENTITY e 'unclosed>", false},
        {"<!NOTATION n>", false},
        {"<!ENTITY e PUBLIC 'bad{char' 'e.ent'>", false},
        {"<!ELEMENT a ANY", false},
        {"<!UNKNOWN a>", false},
    };
    for (const auto& [subset, wellFormed] : cases) {
        const std::string document =
            std::string("<!DOCTYPE TarnConfig [") + subset + "]>" + inRoot("<PIN>1</PIN>");
        if (wellFormed) {
            EXPECT_EQ(readXml(document).getPin(), "1") << subset;
        } else {
            expectRefused(document);
        }
    }
}
