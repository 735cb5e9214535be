#include "AccessDoctor.h"

#include <grp.h>
#include <pwd.h>

#include <cstdio>

namespace Corvane::cli {
namespace {

using Failure = tarn::TarnInterface::OpenFailure;

constexpr const char* kTrigger =
    "  sudo udevadm control --reload-rules\n"
    "  sudo udevadm trigger --subsystem-match=usb --attr-match=idVendor=a37c "
    "--attr-match=idProduct=010f";

std::string nameOf(const std::map<std::uint32_t, std::string>& names, std::uint32_t id,
                   bool group) {
    if (const auto it = names.find(id); it != names.end()) {
        return it->second;
    }
    if (group) {
        const struct group* g = getgrgid(id);
        return g != nullptr ? g->gr_name : std::to_string(id);
    }
    const struct passwd* p = getpwuid(id);
    return p != nullptr ? p->pw_name : std::to_string(id);
}

std::string octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode);
    return text;
}

std::string permissionFix(const AccessFindings& f) {
    if (f.rules.empty()) {
        return "install the udev rule: the tarnwell package does, or from the source tree\n"
               "  sudo cp packaging/70-tarnwell.rules /etc/udev/rules.d/\n" +
               std::string(kTrigger);
    }
    if (!f.ruleApplied) {
        return "the udev rule is installed but the unit's node does not have it yet: unplug "
               "the unit and plug it in again, or\n" +
               std::string(kTrigger);
    }
    if (!f.activeSeats.empty() && !f.aclNamesUser) {
        return "you are at " + f.activeSeats +
               " but the node's access list does not name you yet: unplug the unit and plug "
               "it in again, or\n" +
               kTrigger;
    }
    if (!f.plugdevExists) {
        return "there is no plugdev group: sudo groupadd --system plugdev && sudo usermod -aG "
               "plugdev " +
               f.user + ", then reload the rules, and log out and in again:\n" + kTrigger;
    }
    if (!f.plugdevListed) {
        return "let " + f.user + " use the unit from any login: sudo usermod -aG plugdev " +
               f.user + ", then log out and in again (over SSH: open a new session).";
    }
    if (!f.plugdevInLogin) {
        return f.user + " is in plugdev, but this login began before that: log out and in "
                        "again (or run: newgrp plugdev).";
    }
    return "see \"USB access on Linux\" in the README.";
}

std::string holdersText(const AccessFindings& f) {
    std::string text;
    for (const Holder& h : f.holders) {
        text += (text.empty() ? "" : ", ") + h.program + " (PID " + std::to_string(h.pid) + ")";
    }
    return text;
}

} // namespace

std::string accessFix(const AccessFindings& f) {
    if (f.opened) {
        return "nothing to fix: " + f.user + " can open the unit.";
    }
    if (f.nodeDenies && f.failure != Failure::Busy && f.failure != Failure::NotFound) {
        return permissionFix(f);
    }
    switch (f.failure) {
    case Failure::NoPermission:
        return permissionFix(f);
    case Failure::Busy:
        return f.holders.empty()
                   ? "close the program that holds the unit (is the Tarnwell window open?); "
                     "only one program can use it at a time."
                   : "close " + holdersText(f) +
                         ", which holds the unit; only one program can use it at a time.";
    case Failure::NoAnswer:
    case Failure::Other:
        return "unplug the unit and plug it in again.";
    case Failure::None:
    case Failure::NotFound:
        break;
    }
    return f.busPosition ? "the unit left the bus while it was being opened: check the cable."
                         : "connect the unit and check that it has power; `lsusb -d a37c:010f` "
                           "lists it once it is on the bus.";
}

void printFindings(std::ostream& out, const AccessFindings& f) {
    const auto user = [&](std::uint32_t id) { return nameOf(f.userNames, id, false); };
    const auto group = [&](std::uint32_t id) { return nameOf(f.groupNames, id, true); };
    out << "Tarnwell USB access for " << f.user << " (uid " << f.uid << ")\n";
    out << "  unit a37c:010f  "
        << (f.busPosition ? "on the bus at " + *f.busPosition + " (" + f.node.string() + ")"
                          : std::string("not on the bus"))
        << '\n';
    if (f.nodeFacts) {
        const NodeFacts& n = *f.nodeFacts;
        out << "  device node     owner " << user(n.uid) << ", group " << group(n.gid) << ", mode "
            << octal(n.mode) << (f.nodeDenies ? ": " + f.user + " may not read and write it" : "")
            << '\n';
        out << "  access list    ";
        if (!n.acl) {
            out << " none";
        }
        for (const AclEntry& e : n.acl.value_or(std::vector<AclEntry>{})) {
            out << ' ' << aclText(e, user, group);
        }
        out << '\n';
    }
    out << "  udev rule       ";
    for (std::size_t i = 0; i < f.rules.size(); ++i) {
        out << (i == 0 ? "" : ", ") << f.rules[i].string();
    }
    out << (f.rules.empty() ? "70-tarnwell.rules is not installed" : "") << '\n';
    out << "  seat            "
        << (!f.activeSeats.empty() ? "active at " + f.activeSeats
            : f.logind             ? std::string("not at a seat (a remote login?)")
                                   : std::string("no seats (logind is not running)"))
        << '\n';
    out << "  plugdev group   "
        << (!f.plugdevExists   ? "does not exist"
            : f.plugdevInLogin ? "a member"
            : f.plugdevListed  ? "listed in the group file, not yet in this login"
                               : "not a member")
        << '\n';
    out << "  open            " << f.openText << '\n';
    if (!f.holders.empty() || f.holdersPartly) {
        out << "  held by         " << (f.holders.empty() ? "unknown" : holdersText(f))
            << (f.holdersPartly ? " (other users' processes could not be looked at)" : "") << '\n';
    }
    out << "Fix: " << accessFix(f) << '\n';
}

} // namespace Corvane::cli
