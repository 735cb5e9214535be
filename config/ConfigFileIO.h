#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Whole-file reading and writing for configuration files. Both throw ConfigFileError carrying
// the path and the system's reason.
namespace Corvane {

// Configuration files are a few kilobytes; anything beyond this is not one of ours and is
// refused before it is read into memory.
inline constexpr std::size_t maxConfigFileSize = 16u * 1024u * 1024u;

// Reads a regular file of at most maxBytes bytes. FIFOs, devices and directories are refused
// (reading one could block or never end).
std::string readWholeFile(const std::string& path, std::size_t maxBytes = maxConfigFileSize);

// Replaces the file's content as one step: the bytes go to a new file in the same folder, are
// flushed to disk, and the new file is renamed over the old one, so a failure at any point
// leaves the old file as it was and no temporary file behind. An existing file keeps its
// permission bits; a symbolic link is followed and the file it names is replaced.
void writeWholeFileAtomically(const std::string& path, std::string_view bytes);

} // namespace Corvane
