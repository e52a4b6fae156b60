// The platform block for exclusive temporary files: open(2) with O_EXCL
// and O_NOFOLLOW, then fchmod, on POSIX; _open with _O_EXCL on Windows.
#include "platform/pending_file.h"

#include <cerrno>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace platform {

namespace {

#if defined(_WIN32)
int process_id()
{
    return _getpid();
}

int create_exclusive(const std::filesystem::path& path)
{
    return _wopen(path.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

// Windows files have no permission bits to carry over.
bool give_mode(int, const std::filesystem::path&)
{
    return true;
}

int write_some(int fd, const char* data, std::size_t size)
{
    return _write(fd, data, static_cast<unsigned>(size));
}

int read_at(int fd, char* data, std::size_t size, long long offset)
{
    if (_lseeki64(fd, offset, SEEK_SET) < 0) {
        return -1;
    }
    return _read(fd, data, static_cast<unsigned>(size));
}

bool flush_to_disk(int fd)
{
    return _commit(fd) == 0;
}

int close_file(int fd)
{
    return _close(fd);
}

// Windows does not let a name held open be replaced.
bool still_named(int, const std::filesystem::path&)
{
    return true;
}
#else
int process_id()
{
    return static_cast<int>(getpid());
}

int create_exclusive(const std::filesystem::path& path)
{
    // O_EXCL refuses any name that exists, a link included; O_NOFOLLOW says
    // so again for systems where O_EXCL alone might not.
    return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
}

// The mode the target will have: an existing target's (its file type and
// set-id bits aside), else what the umask leaves of 0666.
bool give_mode(int fd, const std::filesystem::path& target)
{
    struct stat existing {};
    mode_t mode = 0;
    if (stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = static_cast<mode_t>(0666) & ~mask;
    }
    return fchmod(fd, mode) == 0;
}

long write_some(int fd, const char* data, std::size_t size)
{
    return ::write(fd, data, size);
}

long read_at(int fd, char* data, std::size_t size, long long offset)
{
    return pread(fd, data, size, static_cast<off_t>(offset));
}

bool flush_to_disk(int fd)
{
    return fsync(fd) == 0;
}

int close_file(int fd)
{
    return close(fd);
}

// Whether `name` is still the file open as `fd`: in a directory others may
// write, someone may have put something else under the name meanwhile.
bool still_named(int fd, const std::filesystem::path& name)
{
    struct stat open_file {};
    struct stat named {};
    return fstat(fd, &open_file) == 0 && lstat(name.c_str(), &named) == 0 && open_file.st_dev == named.st_dev &&
           open_file.st_ino == named.st_ino;
}
#endif

[[noreturn]] void fail(int error_number, const std::filesystem::path& path)
{
    throw std::system_error(error_number, std::generic_category(), "cannot write '" + path.string() + "'");
}

}  // namespace

PendingFile::PendingFile(std::filesystem::path target) : target_(std::move(target))
{
    // A short name of its own, so that a long target name cannot make it too
    // long; hidden, and with the target's extension.
    const std::filesystem::path directory = target_.parent_path();
    const std::string stem = ".pending-" + std::to_string(process_id()) + "-";
    for (int attempt = 0;; ++attempt) {
        temporary_ = directory / (stem + std::to_string(attempt) + ".tmp" + target_.extension().string());
        fd_ = create_exclusive(temporary_);
        if (fd_ >= 0) {
            break;
        }
        if (errno != EEXIST || attempt == 1000) {
            fail(errno, target_);
        }
    }
    if (!give_mode(fd_, target_)) {
        const int error_number = errno;
        close_file(fd_);
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
        fail(error_number, target_);
    }
}

PendingFile::~PendingFile()
{
    if (fd_ >= 0) {
        close_file(fd_);
    }
    if (!committed_) {
        // Should someone have swapped a link in under the name, removing
        // it removes their link, never what it points to.
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

void PendingFile::write(std::string_view bytes) const
{
    while (!bytes.empty()) {
        const auto count = write_some(fd_, bytes.data(), bytes.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno, target_);
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
}

std::string PendingFile::content() const
{
    std::string content;
    char block[1 << 16];
    for (;;) {
        const auto count = read_at(fd_, block, sizeof block, static_cast<long long>(content.size()));
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno, target_);
        }
        if (count == 0) {
            return content;
        }
        content.append(block, static_cast<std::size_t>(count));
    }
}

void PendingFile::commit()
{
    if (!flush_to_disk(fd_)) {
        fail(errno, target_);
    }
    if (!still_named(fd_, temporary_)) {
        throw std::system_error(std::make_error_code(std::errc::file_exists),
                                "cannot write '" + target_.string() + "': its temporary file '" +
                                    temporary_.filename().string() + "' was replaced by another");
    }
    const int fd = fd_;
    fd_ = -1;
    if (close_file(fd) != 0) {
        fail(errno, target_);
    }
    std::error_code error;
    std::filesystem::rename(temporary_, target_, error);
    if (error) {
        fail(error.value(), target_);
    }
    committed_ = true;
}

}  // namespace platform
