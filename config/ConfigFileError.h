#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace Corvane {

// A configuration file that could not be read, parsed or written. what() is a complete
// sentence for the operator; the parts are kept for callers that lay the message out.
class ConfigFileError : public std::runtime_error {
public:
    struct Position {
        std::size_t offset = 0; // bytes from the start of the file
        std::size_t line = 1;   // 1-based
        std::size_t column = 1; // 1-based, in bytes
    };

    ConfigFileError(std::string path, std::string reason, std::optional<Position> position = {});

    // The line and column of a byte offset in the file's bytes (lines end at line feeds).
    static Position positionAt(std::string_view bytes, std::size_t offset);

    const std::string& path() const noexcept { return path_; }
    const std::string& reason() const noexcept { return reason_; }
    const std::optional<Position>& position() const noexcept { return position_; }

private:
    std::string path_;
    std::string reason_;
    std::optional<Position> position_;
};

} // namespace Corvane
