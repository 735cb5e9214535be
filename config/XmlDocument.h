#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

// The configuration file as an XML document: bytes in, bytes out, and the text of an element.
namespace Corvane {

// Parses a whole file into `doc`, or throws ConfigFileError for a file that is too large or not
// well-formed XML.
void parseDocument(std::string_view bytes, const std::string& sourceName, pugi::xml_document& doc);

// The file's bytes for `doc`: UTF-8 with a byte-order mark, two spaces of indent per level,
// CR LF line ends and none after the root's closing tag.
std::string documentBytes(const pugi::xml_document& doc);

// All text of an element and its descendants in document order, as one string. Iterative, so
// nesting depth costs no stack.
std::string innerText(pugi::xml_node element);

} // namespace Corvane
