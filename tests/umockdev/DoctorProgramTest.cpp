// tarnwell-cli doctor, the installed program on the system's libusb, against the unit that
// umockdev emulates: run as a child process, which umockdev's preloaded library (inherited
// through the environment) also shows the test bed, as root and as a user who may not open it.

#include "UsbfsUnit.h"

#include <gtest/gtest.h>
#include <umockdev.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>

extern char** environ;

namespace {

constexpr uid_t kNobody = 65534;
const usbfs::Bytes kVersionReply = {0x00, 3, 0x34, 0x12, 1, 0, 0, 0, 5, 0,
                                    0,    0, 0,    0,    0, 0, 7, 0, 0, 0};

struct ProgramRun {
    int status = -1;
    std::string out;
};

// Runs the program with `arg`, as `uid` when it is not 0; stdout and stderr together.
ProgramRun runProgram(const std::string& arg, uid_t uid, const std::filesystem::path& outFile) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (!std::string_view(*e).starts_with("ASAN_OPTIONS=")) {
            env.emplace_back(*e);
        }
    }
    // The preloaded library comes before the sanitizer's runtime; leaks in it are not ours.
    env.emplace_back("ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0");
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::string program = TARN_CLI;
    std::string argument = arg;
    char* argv[] = {program.data(), argument.data(), nullptr};
    const int fd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        if (uid != 0 && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)) {
            _exit(99);
        }
        execve(program.c_str(), argv, envp.data());
        _exit(98);
    }
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    std::ostringstream text;
    text << std::ifstream(outFile).rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

TEST(DoctorProgram, PresentAbsentAndNotOpenableByThisUser) {
    UMockdevTestbed* testbed = umockdev_testbed_new();
    ASSERT_TRUE(umockdev_in_mock_environment()) << "run under umockdev-wrapper (CTest does)";
    gchar* rootText = umockdev_testbed_get_root_dir(testbed);
    const std::filesystem::path root = rootText;
    g_free(rootText);
    const std::filesystem::path out = root / "doctor.out";

    ProgramRun r = runProgram("doctor", 0, out);
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_NE(r.out.find("unit a37c:010f  not on the bus"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Fix: connect the unit"), std::string::npos) << r.out;

    auto unit = std::make_unique<usbfs::UsbfsUnit>(testbed, 0xA37C, 0x010F, 1, 5);
    unit->reply(0x81, kVersionReply);
    r = runProgram("doctor", 0, out);
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char* line : {"on the bus at 1-1 (/dev/bus/usb/001/005)",
                             "firmware 1.0.5, serial number 7", "Fix: nothing to fix"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    }

    if (geteuid() == 0) { // another user, and a node only root may open
        chmod(root.c_str(), 0755);
        chmod((root / "dev/bus/usb/001/005").c_str(), 0600);
        chmod(out.c_str(), 0666);
        r = runProgram("doctor", kNobody, out);
        EXPECT_EQ(r.status, 3) << r.out;
        for (const char* line :
             {"(uid 65534)", "owner root", "mode 0600: nobody may not read and write it",
              "sudo udevadm trigger --subsystem-match=usb"}) {
            EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
        }
        EXPECT_EQ(r.out.find("Fix: nothing to fix"), std::string::npos) << r.out;
    }
    unit.reset();
    g_object_unref(testbed);
}

} // namespace
