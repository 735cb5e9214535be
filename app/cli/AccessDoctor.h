#pragma once

#include "AccessList.h"
#include "TarnInterface.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace Corvane::cli {

// Where the doctor looks; tests point every path at a scratch tree.
struct DoctorPaths {
    std::filesystem::path sysfs{"/sys"};
    std::filesystem::path dev{"/dev"};
    std::filesystem::path proc{"/proc"};
    std::filesystem::path run{"/run"}; // logind's systemd/seats and systemd/users/<uid>
    std::filesystem::path passwdFile{"/etc/passwd"};
    std::filesystem::path groupFile{"/etc/group"};
    // udev's rule folders, the one that wins first.
    std::vector<std::filesystem::path> rulesDirs{"/etc/udev/rules.d", "/lib/udev/rules.d",
                                                 "/usr/lib/udev/rules.d"};
};

// Who asks: the user and the groups of this login (not those /etc/group lists since).
struct DoctorUser {
    std::uint32_t uid = 0;
    std::vector<std::uint32_t> groups;
    static DoctorUser current();
};

struct NodeFacts {
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    unsigned mode = 0; // permission bits
    std::optional<std::vector<AclEntry>> acl;
};

struct Holder {
    long pid = 0;
    std::string program;
};

// Everything the doctor found out, for the report and the choice of the fix.
struct AccessFindings {
    std::string user;
    std::uint32_t uid = 0;
    std::optional<std::string> busPosition; // the unit's sysfs name ("1-1") when on the bus
    int bus = 0;
    int device = 0;
    std::filesystem::path node;
    std::optional<NodeFacts> nodeFacts;
    std::vector<std::filesystem::path> rules; // where 70-tarnwell.rules is installed
    bool logind = false;
    std::string activeSeats; // logind's seats at which the user is active, e.g. "seat0"
    bool aclNamesUser = false;
    bool plugdevExists = false;
    bool plugdevListed = false;  // /etc/group names the user
    bool plugdevInLogin = false; // and this login has the group
    bool ruleApplied = false;    // the node has the rule's group and mode
    bool nodeDenies = false;     // its owner, mode and access list give the user no read-write
    std::vector<Holder> holders;
    bool holdersPartly = false; // some processes could not be looked at
    bool opened = false;
    tarn::TarnInterface::OpenFailure failure = tarn::TarnInterface::OpenFailure::NotFound;
    std::string openText; // the open result, in words
    std::map<std::uint32_t, std::string> userNames;
    std::map<std::uint32_t, std::string> groupNames;
};

// Looks at the bus, the node, the rules, the seat and the groups, and tries to open the unit.
AccessFindings examineAccess(tarn::TarnInterface& dev, const DoctorPaths& paths,
                             const DoctorUser& who);

// The one thing to do next, as a sentence or a few commands.
std::string accessFix(const AccessFindings& f);

void printFindings(std::ostream& out, const AccessFindings& f);

} // namespace Corvane::cli
