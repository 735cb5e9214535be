// doctor on a scratch tree standing in for sysfs, /dev, /proc, /run, the account files and the
// udev rule folders, over the simulated unit opening or refusing as the case needs.

#include "Doctor.h"
#include "AccessList.h"
#include "CliTestSupport.h"
#include "ExitStatus.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <fstream>

namespace {

using namespace clitest;
namespace fs = std::filesystem;
namespace status = Corvane::cli::exit_status;

constexpr std::uint32_t kAlice = 1000;

// A user ACL for alice as udev's seat rule leaves it: user::rw- user:alice:rw- group::rw-
// mask::rw- other::---.
std::string seatAcl() {
    std::string v;
    const auto le = [&](std::uint32_t x, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            v += static_cast<char>((x >> (8 * i)) & 0xFFu);
        }
    };
    le(2, 4);
    for (const auto& [tag, perm, id] : {std::tuple{1u, 6u, ~0u},
                                        {2u, 6u, kAlice},
                                        {4u, 6u, ~0u},
                                        {0x10u, 6u, ~0u},
                                        {0x20u, 0u, ~0u}}) {
        le(tag, 2);
        le(perm, 2);
        le(id, 4);
    }
    return v;
}

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

struct Case {
    const char* name;
    int openResult;      // what opening the simulated unit meets; 1: no unit at all
    bool rule = true;    // 70-tarnwell.rules in /lib/udev/rules.d
    bool applied = true; // the node has plugdev and mode 0660
    bool seat = false;   // alice is active at seat0
    bool acl = false;    // and the node's access list names her
    bool listed = false; // /etc/group puts alice in plugdev
    bool login = false;  // and this login has the group
    const char* fix = "";
};

class Doctor : public CliTest {
protected:
    // The tree for one case; the node's group is plugdev whenever the rule applied.
    Corvane::cli::DoctorPaths tree(const Case& c) {
        const fs::path root = dir_.path() / c.name;
        Corvane::cli::DoctorPaths p{root / "sys",
                                    root / "dev",
                                    root / "proc",
                                    root / "run",
                                    root / "etc/passwd",
                                    root / "etc/group",
                                    {root / "etc/udev/rules.d", root / "lib/udev/rules.d"}};
        if (c.openResult != 1) {
            const fs::path d = p.sysfs / "bus/usb/devices/1-1";
            for (const auto& [name, value] : {std::pair{"idVendor", "a37c"},
                                              {"idProduct", "010f"},
                                              {"busnum", "1"},
                                              {"devnum", "5"}}) {
                write(d / name, std::string(value) + "\n");
            }
            const fs::path node = p.dev / "bus/usb/001/005";
            write(node, "");
            chmod(node.c_str(), c.applied ? 0660 : 0664);
            if (c.acl) {
                const std::string acl = seatAcl();
                EXPECT_EQ(
                    setxattr(node.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0),
                    0);
            }
            write(p.proc / "4242/comm", "tarnwell\n");
            fs::create_directories(p.proc / "4242/fd");
            fs::create_symlink(node, p.proc / "4242/fd/7");
        }
        if (c.rule) {
            write(p.rulesDirs[1] / "70-tarnwell.rules", "SUBSYSTEM==\"usb\"\n");
        }
        fs::create_directories(p.run / "systemd/seats");
        write(p.run / "systemd/users/1000", c.seat ? "ACTIVE_SEATS=seat0\n" : "ACTIVE_SEATS=\n");
        write(p.passwdFile, "keeper:x:" + std::to_string(geteuid()) + ":0::/:/bin/sh\n" +
                                "alice:x:1000:1000::/home/alice:/bin/sh\n");
        const gid_t plugdev = c.applied ? getegid() : getegid() + 1;
        write(p.groupFile, "plugdev:x:" + std::to_string(plugdev) + ":" +
                               (c.listed ? "bob,alice" : "bob") + "\nalice:x:1000:\n");
        return p;
    }
};

TEST_F(Doctor, NamesTheOneFixThatApplies) {
    const int access = LIBUSB_ERROR_ACCESS;
    const Case cases[] = {
        {"absent", 1, true, true, false, false, false, false, "connect the unit"},
        {"fine", 0, true, true, true, true, false, false, "nothing to fix: alice can open"},
        {"norule", access, false, false, false, false, false, false,
         "sudo cp packaging/70-tarnwell.rules /etc/udev/rules.d/"},
        {"stale", access, true, false, false, false, false, false, "udevadm trigger"},
        {"seat", access, true, true, true, false, false, false, "you are at seat0 but"},
        {"remote", access, true, true, false, false, false, false,
         "sudo usermod -aG plugdev alice"},
        {"relogin", access, true, true, false, false, true, false, "newgrp plugdev"},
        {"busy", LIBUSB_ERROR_BUSY, true, true, false, false, true, true,
         "close tarnwell (PID 4242)"},
    };
    for (const Case& c : cases) {
        SetUp();
        reconnect();
        if (c.openResult == 1) {
            unit_.reset();
        } else if (c.openResult == LIBUSB_ERROR_BUSY) {
            unit_->device()->setClaimResult(c.openResult);
        } else if (c.openResult != 0) {
            unit_->device()->setOpenResult(c.openResult);
        }
        const Corvane::cli::DoctorUser alice{
            kAlice, c.login
                        ? std::vector<std::uint32_t>{1000, static_cast<std::uint32_t>(getegid())}
                        : std::vector<std::uint32_t>{1000}};
        std::ostringstream out;
        std::ostringstream err;
        Corvane::cli::Session session{*dev_, out, err, locale_,
                                      [] { return std::chrono::nanoseconds(0); }};
        const int result = Corvane::cli::runDoctor(session, tree(c), alice);
        EXPECT_EQ(result, c.openResult == 0 ? status::kSuccess : status::kNoUnit) << c.name;
        const std::string report = out.str();
        const std::string fix = report.substr(report.find("Fix: "));
        EXPECT_NE(fix.find(c.fix), std::string::npos) << c.name << "\n" << report;
        if (std::string(c.name) == "fine") {
            for (const char* line : {"on the bus at 1-1", "owner keeper, group plugdev, mode 0660",
                                     "user::rw- user:alice:rw- group::rw- mask::rw- other::---",
                                     "lib/udev/rules.d/70-tarnwell.rules", "active at seat0",
                                     "firmware 1.2.7, serial number 74565"}) {
                EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
            }
        }
    }
}

TEST(AccessList, MalformedValuesAreRefusedAndTheMaskLimitsANamedUser) {
    const std::string acl = seatAcl();
    const auto entries = Corvane::cli::parseAcl(acl);
    ASSERT_TRUE(entries);
    EXPECT_TRUE(Corvane::cli::aclGrantsUser(*entries, kAlice));
    EXPECT_FALSE(Corvane::cli::aclGrantsUser(*entries, kAlice + 1));
    std::string masked = acl;
    masked[4 + 3 * 8 + 2] = 4; // mask::r--
    EXPECT_FALSE(Corvane::cli::aclGrantsUser(*Corvane::cli::parseAcl(masked), kAlice));
    for (const std::string& bad : {std::string(), acl.substr(0, acl.size() - 1),
                                   std::string("\x01\0\0\0", 4) + acl.substr(4),
                                   acl.substr(0, 4) + std::string("\x40\0\x06\0\0\0\0\0", 8)}) {
        EXPECT_FALSE(Corvane::cli::parseAcl(bad)) << bad.size();
    }
}

} // namespace
