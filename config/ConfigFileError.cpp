#include "ConfigFileError.h"

#include <algorithm>
#include <utility>

namespace Corvane {
namespace {

std::string composeMessage(const std::string& path, const std::string& reason,
                           const std::optional<ConfigFileError::Position>& position) {
    std::string message = path + ": " + reason;
    if (position) {
        message += " (line " + std::to_string(position->line) + ", column " +
                   std::to_string(position->column) + ", byte offset " +
                   std::to_string(position->offset) + ")";
    }
    return message;
}

} // namespace

ConfigFileError::Position ConfigFileError::positionAt(std::string_view bytes, std::size_t offset) {
    Position pos;
    pos.offset = offset;
    const std::size_t end = std::min(offset, bytes.size());
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (bytes[i] == '\n') {
            ++pos.line;
            lineStart = i + 1;
        }
    }
    pos.column = end - lineStart + 1;
    return pos;
}

ConfigFileError::ConfigFileError(std::string path, std::string reason,
                                 std::optional<Position> position)
    : std::runtime_error(composeMessage(path, reason, position))
    , path_(std::move(path))
    , reason_(std::move(reason))
    , position_(position) {}

} // namespace Corvane
