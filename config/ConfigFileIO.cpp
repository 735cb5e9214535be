#include "ConfigFileIO.h"

#include "ConfigFileError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Corvane {
namespace {

std::string systemReason(int error) {
    return std::generic_category().message(error);
}

// Takes errno first: building the message allocates, which may change it.
[[noreturn]] void throwSystemError(const std::string& path, const char* what) {
    const int error = errno;
    throw ConfigFileError(path, std::string(what) + ": " + systemReason(error));
}

// Closes a descriptor on every path out of a scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now so that a deferred write error reported by close() reaches the caller.
    int close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

// Removes the temporary file unless the rename has taken it over.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path)
        : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    const std::string& path() const { return path_; }
    void release() { path_.clear(); }

private:
    std::string path_;
};

int openFresh(const std::filesystem::path& folder, const std::string& stem, std::string& chosen) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "." + stem + ".tmp" + std::to_string(::getpid()) + "-" +
                                 std::to_string(counter++) + "-" + std::to_string(random());
        chosen = (folder / name).string();
        // 0666 lets the umask decide, as for any newly created file.
        const int fd = ::open(chosen.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category());
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

std::string readWholeFile(const std::string& path, std::size_t maxBytes) {
    // Non-blocking open so that a FIFO without a writer cannot hang us before the type check.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        throwSystemError(path, "cannot open the file");
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        throwSystemError(path, "cannot read the file");
    }
    if (!S_ISREG(st.st_mode)) {
        throw ConfigFileError(path, "not a regular file");
    }
    const std::string tooLarge =
        "the file is larger than the limit of " + std::to_string(maxBytes) + " bytes";
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        throw ConfigFileError(path, tooLarge);
    }
    std::string data;
    data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t filled = 0;
    // The file may grow while it is read; one byte beyond the limit is enough to refuse it.
    for (;;) {
        if (filled == data.size()) {
            if (data.size() > maxBytes) {
                throw ConfigFileError(path, tooLarge);
            }
            data.resize(std::min(maxBytes + 1, std::max<std::size_t>(data.size() * 2, 4096)));
        }
        const ssize_t n = ::read(fd.get(), data.data() + filled, data.size() - filled);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwSystemError(path, "cannot read the file");
        }
        if (n == 0) {
            break;
        }
        filled += static_cast<std::size_t>(n);
    }
    data.resize(filled);
    if (data.size() > maxBytes) {
        throw ConfigFileError(path, tooLarge);
    }
    return data;
}

void writeWholeFileAtomically(const std::string& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(path);
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        fs::path resolved = fs::canonical(target, ec);
        if (ec) {
            // A link to a file not yet there: create that file, keep the link.
            resolved = fs::read_symlink(target, ec);
            if (ec) {
                throw ConfigFileError(path, "cannot follow the link: " + ec.message());
            }
            if (resolved.is_relative()) {
                resolved = target.parent_path() / resolved;
            }
        }
        target = resolved;
    }
    if (target.filename().empty()) {
        throw ConfigFileError(path, "the path names no file");
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;

    std::string tempPath;
    FileDescriptor fd(openFresh(folder, target.filename().string(), tempPath));
    if (!fd.valid()) {
        throwSystemError(path, "cannot create the file");
    }
    TemporaryFile temp(tempPath);
    try {
        if (replacing && S_ISREG(old.st_mode) && ::fchmod(fd.get(), old.st_mode & 07777) != 0) {
            throw std::system_error(errno, std::generic_category());
        }
        writeAll(fd.get(), bytes);
        if (::fsync(fd.get()) != 0) {
            throw std::system_error(errno, std::generic_category());
        }
    } catch (const std::system_error& e) {
        throw ConfigFileError(path, "cannot write the file: " + systemReason(e.code().value()));
    }
    if (fd.close() != 0) {
        throwSystemError(path, "cannot write the file");
    }
    if (::rename(temp.path().c_str(), target.c_str()) != 0) {
        throwSystemError(path, "cannot replace the file");
    }
    temp.release();

    // Make the rename itself durable. The new content is complete either way, so a folder that
    // cannot be synced is not worth failing the save for.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
}

} // namespace Corvane
