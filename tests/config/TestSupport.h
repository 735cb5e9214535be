#pragma once

#include "TarnConfig.h"

#include <filesystem>
#include <locale>
#include <string>

namespace Corvane::test {

// A fresh directory per test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Names in the directory, so tests can tell that no temporary file was left.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
};

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);
std::string expectedFile(const std::string& name);

// Locales built from facets, so tests do not depend on what the machine has installed.
std::locale commaDecimalLocale(); // 1.234,5
std::locale pointDecimalLocale(); // 1,234.5

// Every item present, with the values of data/full.xml.
TarnConfig fullConfig(const std::locale& numberLocale);

// Reads a document into a new object whose numbers use the point-decimal locale.
TarnConfig readXml(const std::string& xml);
inline std::string inRoot(const std::string& body) {
    return "<TarnConfig>" + body + "</TarnConfig>";
}

} // namespace Corvane::test
