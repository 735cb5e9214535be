#pragma once

#include "ConfigFileError.h"

#include <optional>
#include <string>
#include <string_view>

namespace Corvane {

struct XmlFault {
    std::string reason;
    ConfigFileError::Position position;
};

// The first reason why `bytes` is not one well-formed XML 1.0 document that the reader can take
// as written, or none. Checked against the grammar of XML 1.0 and its well-formedness
// constraints in one linear pass without recursion, so hostile files cost time in proportion
// to their size. Beyond XML itself it refuses only what the reader cannot honour: references to
// entities other than XML's five predefined ones (the reader expands no declared entities, so
// a file using them would read differently from what it says), parameter-entity references
// in the document type declaration, and encodings the reader cannot decode (see XmlSource).
std::optional<XmlFault> findXmlFault(std::string_view bytes);

} // namespace Corvane
