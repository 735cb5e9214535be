#include "ConfigFileError.h"

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

ConfigFileError::ConfigFileError(std::string path, std::string reason,
                                 std::optional<Position> position)
    : std::runtime_error(composeMessage(path, reason, position))
    , path_(std::move(path))
    , reason_(std::move(reason))
    , position_(position) {}

} // namespace Corvane
