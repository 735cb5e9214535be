#include "XmlDocument.h"

#include "ConfigFileError.h"
#include "ConfigFileIO.h"
#include "WellFormedXml.h"

namespace Corvane {
namespace {

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
    std::string out;
};

// The file's lines end in CR LF, line breaks inside texts included, so that every line
// break in the file is alike; the reader turns each back into one line feed.
std::string withCrLf(const std::string& lf) {
    std::string out;
    out.reserve(lf.size() + lf.size() / 16);
    for (std::size_t i = 0; i < lf.size(); ++i) {
        const char c = lf[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < lf.size() && lf[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string innerText(pugi::xml_node element) {
    std::string text;
    pugi::xml_node node = element.first_child();
    while (node) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            text += node.value();
        }
        if (node.type() == pugi::node_element && node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != element && !node.next_sibling()) {
            node = node.parent();
        }
        if (node == element) {
            break;
        }
        node = node.next_sibling();
    }
    return text;
}

void parseDocument(std::string_view bytes, const std::string& sourceName, pugi::xml_document& doc) {
    if (bytes.size() > maxConfigFileSize) {
        throw ConfigFileError(sourceName, "the file is larger than the limit of " +
                                              std::to_string(maxConfigFileSize) + " bytes");
    }
    // pugixml accepts some malformed documents (a second root element, a bare '&'), so the
    // whole grammar is checked first and nothing is taken from a file that fails it.
    if (const std::optional<XmlFault> fault = findXmlFault(bytes)) {
        throw ConfigFileError(sourceName, "not well-formed XML: " + fault->reason, fault->position);
    }
    // Default options on purpose: no document type declaration is taken and only XML's own
    // entities are expanded, so a file cannot pull in anything from outside itself. Line
    // breaks come back as single line feeds and white-space-only texts are dropped.
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
        const std::size_t offset = parsed.offset < 0 ? 0 : static_cast<std::size_t>(parsed.offset);
        throw ConfigFileError(sourceName,
                              std::string("not well-formed XML: ") + parsed.description(),
                              ConfigFileError::positionAt(bytes, offset));
    }
}

std::string documentBytes(const pugi::xml_document& doc) {
    StringWriter writer;
    doc.save(writer, "  ", pugi::format_indent | pugi::format_write_bom, pugi::encoding_utf8);
    std::string bytes = withCrLf(writer.out);
    // No line end after the root's closing tag.
    if (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0) {
        bytes.resize(bytes.size() - 2);
    }
    return bytes;
}

} // namespace Corvane
