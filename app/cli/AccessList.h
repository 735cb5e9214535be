#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Corvane::cli {

// A POSIX access list as the kernel keeps it in a file's "system.posix_acl_access" attribute,
// which is where udev's seat rule ("uaccess") gives the user at the seat a device node.
struct AclEntry {
    enum class Tag : std::uint16_t {
        UserObj = 0x01,
        User = 0x02,
        GroupObj = 0x04,
        Group = 0x08,
        Mask = 0x10,
        Other = 0x20,
    };
    Tag tag = Tag::Other;
    unsigned permissions = 0; // 4 read, 2 write, 1 execute
    std::uint32_t id = 0;     // the user or group of a named entry
};

// The entries of the attribute's value (version 2, then 8 bytes an entry, little-endian), or
// nothing when it is not one.
std::optional<std::vector<AclEntry>> parseAcl(std::string_view value);

// The file's access list; nothing when it has none beyond its mode, or it cannot be read.
std::optional<std::vector<AclEntry>> readAcl(const std::filesystem::path& file);

// One entry as getfacl writes it ("user:alice:rw-", "mask::rw-"), naming ids by the functions.
std::string aclText(const AclEntry& entry, const std::function<std::string(std::uint32_t)>& user,
                    const std::function<std::string(std::uint32_t)>& group);

// Whether a named entry gives user `uid` read and write access, the mask allowing.
bool aclGrantsUser(const std::vector<AclEntry>& entries, std::uint32_t uid);

} // namespace Corvane::cli
