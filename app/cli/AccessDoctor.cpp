#include "AccessDoctor.h"

#include "TarnUsb.h"
#include "UnitProbe.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace Corvane::cli {
namespace {

namespace fs = std::filesystem;
using Failure = tarn::TarnInterface::OpenFailure;

constexpr const char* kRuleFile = "70-tarnwell.rules";
constexpr const char* kGroup = "plugdev";
constexpr unsigned kRuleMode = 0660;

// A USB id as sysfs writes it: four lower-case hex digits.
std::string sysfsId(std::uint16_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", unsigned{id});
    return text;
}

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == separator) {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

// name:password:id:... lines; for the group file also the members (the fourth field).
void readAccounts(const fs::path& file, std::map<std::uint32_t, std::string>& names,
                  std::map<std::string, std::vector<std::string>>* members = nullptr) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> f = split(line, ':');
        if (f.size() < 3 || f[2].empty() ||
            !std::all_of(f[2].begin(), f[2].end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        names.emplace(static_cast<std::uint32_t>(std::stoul(f[2])), f[0]);
        if (members != nullptr && f.size() >= 4) {
            (*members)[f[0]] = f[3].empty() ? std::vector<std::string>{} : split(f[3], ',');
        }
    }
}

void findUnit(const DoctorPaths& paths, AccessFindings& f) {
    std::error_code ec;
    std::vector<fs::path> devices;
    for (const auto& entry : fs::directory_iterator(paths.sysfs / "bus/usb/devices", ec)) {
        devices.push_back(entry.path());
    }
    std::sort(devices.begin(), devices.end());
    for (const fs::path& d : devices) {
        if (firstLine(d / "idVendor") == sysfsId(tarn::TarnUsb::kVendorId) &&
            firstLine(d / "idProduct") == sysfsId(tarn::TarnUsb::kProductId)) {
            f.busPosition = d.filename().string();
            f.bus = std::atoi(firstLine(d / "busnum").c_str());
            f.device = std::atoi(firstLine(d / "devnum").c_str());
            char node[32];
            std::snprintf(node, sizeof node, "bus/usb/%03d/%03d", f.bus, f.device);
            f.node = paths.dev / node;
            return;
        }
    }
}

// Whether the node's owner, mode and access list leave this user without read and write access,
// which libusb needs; some links report that only as an unnamed error.
bool denies(const NodeFacts& n, const DoctorUser& who) {
    constexpr unsigned kOwner = 0600;
    constexpr unsigned kGroupBits = 0060;
    constexpr unsigned kOthers = 0006;
    if (who.uid == 0) {
        return false;
    }
    if (n.uid == who.uid) {
        return (n.mode & kOwner) != kOwner;
    }
    if (n.acl && aclGrantsUser(*n.acl, who.uid)) {
        return false;
    }
    if (std::find(who.groups.begin(), who.groups.end(), n.gid) != who.groups.end()) {
        return (n.mode & kGroupBits) != kGroupBits;
    }
    return (n.mode & kOthers) != kOthers;
}

void examineNode(AccessFindings& f, const DoctorUser& who,
                 std::optional<std::uint32_t> plugdevGid) {
    struct stat st {};
    if (f.node.empty() || stat(f.node.c_str(), &st) != 0) {
        return;
    }
    f.nodeFacts = NodeFacts{st.st_uid, st.st_gid, st.st_mode & 07777u, readAcl(f.node)};
    f.aclNamesUser = f.nodeFacts->acl && aclGrantsUser(*f.nodeFacts->acl, f.uid);
    f.ruleApplied =
        plugdevGid && st.st_gid == *plugdevGid && (f.nodeFacts->mode & kRuleMode) == kRuleMode;
    f.nodeDenies = denies(*f.nodeFacts, who);
}

void examineSeat(const DoctorPaths& paths, AccessFindings& f) {
    std::error_code ec;
    f.logind = fs::is_directory(paths.run / "systemd/seats", ec);
    std::ifstream in(paths.run / "systemd/users" / std::to_string(f.uid));
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("ACTIVE_SEATS=")) {
            f.activeSeats = line.substr(13);
        }
    }
}

void examineGroups(const DoctorPaths& paths, const DoctorUser& who, AccessFindings& f,
                   std::optional<std::uint32_t>& plugdevGid) {
    std::map<std::string, std::vector<std::string>> members;
    readAccounts(paths.passwdFile, f.userNames);
    readAccounts(paths.groupFile, f.groupNames, &members);
    for (const auto& [gid, name] : f.groupNames) {
        if (name == kGroup) {
            plugdevGid = gid;
        }
    }
    const auto user = f.userNames.find(f.uid);
    f.user = user != f.userNames.end() ? user->second : "uid " + std::to_string(f.uid);
    f.plugdevExists = plugdevGid.has_value();
    const std::vector<std::string>& listed = members[kGroup];
    f.plugdevListed = std::find(listed.begin(), listed.end(), f.user) != listed.end();
    f.plugdevInLogin = plugdevGid && std::find(who.groups.begin(), who.groups.end(), *plugdevGid) !=
                                         who.groups.end();
}

// Processes with the node open, from their file descriptors' links.
void findHolders(const DoctorPaths& paths, AccessFindings& f) {
    std::error_code ec;
    for (const auto& process : fs::directory_iterator(paths.proc, ec)) {
        const std::string pid = process.path().filename().string();
        if (pid.empty() ||
            !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        std::error_code fdError;
        fs::directory_iterator fds(process.path() / "fd", fdError);
        if (fdError) {
            f.holdersPartly = true;
            continue;
        }
        for (const auto& fd : fds) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) == f.node) {
                f.holders.push_back({std::stol(pid), firstLine(process.path() / "comm")});
                break;
            }
        }
    }
}

void tryOpen(tarn::TarnInterface& dev, AccessFindings& f) {
    f.opened = dev.isOpen() || dev.open();
    f.failure = f.opened ? Failure::None : dev.openFailure();
    if (f.opened) {
        f.openText = "the unit opens: firmware " + dev.version() + ", serial number " +
                     std::to_string(dev.serialNumber());
    } else {
        f.openText = explainOpenFailure(dev);
    }
}

} // namespace

DoctorUser DoctorUser::current() {
    DoctorUser who{static_cast<std::uint32_t>(getuid()), {}};
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0 && getgroups(count, groups.data()) == count) {
        who.groups.assign(groups.begin(), groups.end());
    }
    who.groups.push_back(static_cast<std::uint32_t>(getgid()));
    return who;
}

AccessFindings examineAccess(tarn::TarnInterface& dev, const DoctorPaths& paths,
                             const DoctorUser& who) {
    AccessFindings f;
    f.uid = who.uid;
    std::optional<std::uint32_t> plugdevGid;
    examineGroups(paths, who, f, plugdevGid);
    findUnit(paths, f);
    examineNode(f, who, plugdevGid);
    std::error_code ec;
    for (const fs::path& dir : paths.rulesDirs) {
        if (fs::exists(dir / kRuleFile, ec)) {
            f.rules.push_back(dir / kRuleFile);
        }
    }
    examineSeat(paths, f);
    tryOpen(dev, f);
    if (f.failure == Failure::Busy && !f.node.empty()) {
        findHolders(paths, f);
    }
    return f;
}

} // namespace Corvane::cli
