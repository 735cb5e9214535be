#include "AccessList.h"

#include <sys/xattr.h>

#include <array>

namespace Corvane::cli {
namespace {

constexpr std::uint32_t kVersion = 2;
constexpr std::size_t kHeader = 4;
constexpr std::size_t kEntry = 8;
constexpr unsigned kReadWrite = 6;

std::uint32_t little(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

bool knownTag(std::uint32_t tag) {
    for (const std::uint32_t t : {0x01u, 0x02u, 0x04u, 0x08u, 0x10u, 0x20u}) {
        if (tag == t) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<std::vector<AclEntry>> parseAcl(std::string_view value) {
    if (value.size() < kHeader || (value.size() - kHeader) % kEntry != 0 ||
        little(value, 0, 4) != kVersion) {
        return std::nullopt;
    }
    std::vector<AclEntry> entries;
    for (std::size_t at = kHeader; at < value.size(); at += kEntry) {
        const std::uint32_t tag = little(value, at, 2);
        if (!knownTag(tag)) {
            return std::nullopt;
        }
        entries.push_back({static_cast<AclEntry::Tag>(tag), little(value, at + 2, 2) & 7u,
                           little(value, at + 4, 4)});
    }
    return entries;
}

std::optional<std::vector<AclEntry>> readAcl(const std::filesystem::path& file) {
    std::array<char, 1024> buffer{};
    const ssize_t size =
        getxattr(file.c_str(), "system.posix_acl_access", buffer.data(), buffer.size());
    if (size <= 0) {
        return std::nullopt;
    }
    return parseAcl(std::string_view(buffer.data(), static_cast<std::size_t>(size)));
}

std::string aclText(const AclEntry& entry, const std::function<std::string(std::uint32_t)>& user,
                    const std::function<std::string(std::uint32_t)>& group) {
    std::string text;
    switch (entry.tag) {
    case AclEntry::Tag::UserObj:
        text = "user::";
        break;
    case AclEntry::Tag::User:
        text = "user:" + user(entry.id) + ":";
        break;
    case AclEntry::Tag::GroupObj:
        text = "group::";
        break;
    case AclEntry::Tag::Group:
        text = "group:" + group(entry.id) + ":";
        break;
    case AclEntry::Tag::Mask:
        text = "mask::";
        break;
    case AclEntry::Tag::Other:
        text = "other::";
        break;
    }
    text += (entry.permissions & 4u) != 0 ? 'r' : '-';
    text += (entry.permissions & 2u) != 0 ? 'w' : '-';
    text += (entry.permissions & 1u) != 0 ? 'x' : '-';
    return text;
}

bool aclGrantsUser(const std::vector<AclEntry>& entries, std::uint32_t uid) {
    unsigned mask = 7;
    bool named = false;
    unsigned granted = 0;
    for (const AclEntry& e : entries) {
        if (e.tag == AclEntry::Tag::Mask) {
            mask = e.permissions;
        } else if (e.tag == AclEntry::Tag::User && e.id == uid) {
            named = true;
            granted = e.permissions;
        }
    }
    return named && (granted & mask & kReadWrite) == kReadWrite;
}

} // namespace Corvane::cli
