// The platform block for pending files: on POSIX, open(2) with O_EXCL and
// O_NOFOLLOW relative to the target's directory, held open, then fchmod and
// renameat; on Windows, _wopen with _O_EXCL and rename by name. What a name
// leads to (links, FIFOs, devices) is read with std::filesystem on both.
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
#include <csignal>
#include <unistd.h>
#endif

namespace platform {

namespace {

namespace fs = std::filesystem;

// As many links in a row as the system itself follows (Linux's limit).
constexpr int MAX_LINKS = 40;

#if defined(_WIN32)
int process_id()
{
    return _getpid();
}

// Windows has no descriptors for directories: files in one are reached by
// name, and the directory is only checked here.
int open_directory(const fs::path& directory)
{
    std::error_code error;
    if (!fs::is_directory(directory, error)) {
        errno = error ? error.value() : ENOTDIR;
        return -1;
    }
    return 0;
}

void close_directory(int) {}

int create_exclusive(int, const fs::path& directory, const fs::path& name)
{
    return _wopen((directory / name).c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}

// Windows files have no permission bits to carry over.
bool give_mode(int, int, const fs::path&)
{
    return true;
}

// The standard streams are reached by their own names (CON) or not at all.
int standard_stream_named(const fs::path&)
{
    return -1;
}

int open_in_place(const fs::path& target)
{
    return _wopen(target.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
}

long write_some(int fd, const char* data, std::size_t size)
{
    return _write(fd, data, static_cast<unsigned>(size));
}

long read_at(int fd, char* data, std::size_t size, long long offset)
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
bool still_named(int, int, const fs::path&)
{
    return true;
}

int rename_within(int, const fs::path& directory, const fs::path& from, const fs::path& to)
{
    std::error_code error;
    fs::rename(directory / from, directory / to, error);
    return error.value();
}

void remove_within(int, const fs::path& directory, const fs::path& name)
{
    std::error_code ignored;
    fs::remove(directory / name, ignored);
}

bool same_existing_file(const fs::path& a, const fs::path& b)
{
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

// A write to a closed pipe is an error there, not a signal.
struct QuietPipes {};
#else
int process_id()
{
    return static_cast<int>(getpid());
}

int open_directory(const fs::path& directory)
{
    return open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void close_directory(int fd)
{
    if (fd >= 0) {
        close(fd);
    }
}

int create_exclusive(int directory, const fs::path&, const fs::path& name)
{
    // O_EXCL refuses any name that exists, a link included; O_NOFOLLOW says
    // so again for systems where O_EXCL alone might not.
    return openat(directory, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
}

// The mode the target will have: an existing target's (its file type and
// set-id bits aside), else what the umask leaves of 0666.
bool give_mode(int fd, int directory, const fs::path& target)
{
    struct stat existing {};
    mode_t mode = 0;
    if (fstatat(directory, target.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = static_cast<mode_t>(0666) & ~mask;
    }
    return fchmod(fd, mode) == 0;
}

// A copy of standard output's or error's descriptor when `target` names the
// file it writes to (as /dev/stdout does): written through it, the output
// goes where the caller sent it, at its position, as if printed there.
int standard_stream_named(const fs::path& target)
{
    struct stat named {};
    if (stat(target.c_str(), &named) != 0) {
        return -1;
    }
    for (const int stream : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat open_file {};
        if (fstat(stream, &open_file) == 0 && open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino) {
            return fcntl(stream, F_DUPFD_CLOEXEC, 0);
        }
    }
    return -1;
}

// No O_CREAT, so nothing is made, and no O_TRUNC, which a FIFO or device
// would not heed anyway.
int open_in_place(const fs::path& target)
{
    return open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
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
bool still_named(int fd, int directory, const fs::path& name)
{
    struct stat open_file {};
    struct stat named {};
    return fstat(fd, &open_file) == 0 && fstatat(directory, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

int rename_within(int directory, const fs::path&, const fs::path& from, const fs::path& to)
{
    return renameat(directory, from.c_str(), directory, to.c_str()) == 0 ? 0 : errno;
}

void remove_within(int directory, const fs::path&, const fs::path& name)
{
    unlinkat(directory, name.c_str(), 0);
}

// By device and inode, links followed: std::filesystem::equivalent refuses
// to compare FIFOs and devices.
bool same_existing_file(const fs::path& a, const fs::path& b)
{
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Ignores SIGPIPE while it lives: a FIFO whose reader went away is then
// told by a failed write instead of ending this process, which would leave
// its temporary files behind.
class QuietPipes {
public:
    QuietPipes()
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, &previous_);
    }
    ~QuietPipes() { sigaction(SIGPIPE, &previous_, nullptr); }
    QuietPipes(const QuietPipes&) = delete;
    QuietPipes& operator=(const QuietPipes&) = delete;

private:
    struct sigaction previous_ {};
};
#endif

[[noreturn]] void fail(int error_number, const fs::path& path)
{
    throw std::system_error(error_number, std::generic_category(), "cannot write '" + path.string() + "'");
}

// The file that `path` names, links at its end followed one by one (a
// relative link is read from the link's directory), whether or not that
// file exists yet. Links among the directories stay: the directory is
// opened through them once.
fs::path resolve_links(fs::path path)
{
    for (int hops = 0;; ++hops) {
        std::error_code error;
        const fs::file_status status = fs::symlink_status(path, error);
        if (status.type() != fs::file_type::symlink) {
            return path;
        }
        if (hops == MAX_LINKS) {
            throw std::system_error(std::make_error_code(std::errc::too_many_symbolic_link_levels));
        }
        const fs::path next = fs::read_symlink(path, error);
        if (error) {
            throw std::system_error(error);
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
}

void write_all(int fd, std::string_view bytes, const fs::path& target)
{
    while (!bytes.empty()) {
        const auto count = write_some(fd, bytes.data(), bytes.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno, target);
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
}

}  // namespace

PendingFile::PendingFile(fs::path target) : target_(std::move(target))
{
    try {
        place_fd_ = standard_stream_named(target_);
        if (place_fd_ < 0) {
            std::error_code error;
            switch (fs::status(target_, error).type()) {
            case fs::file_type::not_found:
            case fs::file_type::regular:
                break;
            case fs::file_type::directory:
                fail(static_cast<int>(std::errc::is_a_directory), target_);
            case fs::file_type::fifo:
            case fs::file_type::character:
            case fs::file_type::block:
            case fs::file_type::socket:
                place_fd_ = open_in_place(target_);
                if (place_fd_ < 0) {
                    fail(errno, target_);
                }
                break;
            case fs::file_type::none:
                fail(error.value(), target_);
            default:
                fail(EINVAL, target_);
            }
        }
        // In place, the content waits where temporary files belong; else
        // beside the file it will become.
        destination_ = in_place() ? fs::temp_directory_path() / target_.filename() : resolve_links(target_);
        if (destination_.filename().empty()) {
            fail(static_cast<int>(std::errc::is_a_directory), target_);
        }
        directory_fd_ = open_directory(directory());
        if (directory_fd_ < 0) {
            fail(errno, target_);
        }
        // A short name of its own, so that a long target name cannot make it
        // too long; hidden, and with the target's extension.
        const std::string stem = ".pending-" + std::to_string(process_id()) + "-";
        for (int attempt = 0;; ++attempt) {
            temporary_ = stem + std::to_string(attempt) + ".tmp" + target_.extension().string();
            fd_ = create_exclusive(directory_fd_, directory(), temporary_);
            if (fd_ >= 0) {
                break;
            }
            if (errno != EEXIST || attempt == 1000) {
                fail(errno, target_);
            }
        }
        if (!in_place() && !give_mode(fd_, directory_fd_, destination_.filename())) {
            fail(errno, target_);
        }
    } catch (const std::system_error& e) {
        release();
        fail(e.code().value(), target_);
    }
}

PendingFile::~PendingFile()
{
    release();
}

fs::path PendingFile::directory() const
{
    return destination_.has_parent_path() ? destination_.parent_path() : fs::path(".");
}

void PendingFile::release()
{
    if (fd_ >= 0) {
        close_file(fd_);
        fd_ = -1;
    }
    if (place_fd_ >= 0) {
        close_file(place_fd_);
        place_fd_ = -1;
    }
    if (!committed_ && !temporary_.empty()) {
        // Should someone have swapped a link in under the name, removing
        // it removes their link, never what it points to.
        remove_within(directory_fd_, directory(), temporary_);
        temporary_.clear();
    }
    close_directory(directory_fd_);
    directory_fd_ = -1;
}

void PendingFile::write(std::string_view bytes) const
{
    write_all(fd_, bytes, target_);
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
    commit_all({this});
}

void PendingFile::settle()
{
    if (in_place()) {
        return;  // its temporary file is only read back
    }
    if (!flush_to_disk(fd_)) {
        fail(errno, target_);
    }
    if (!still_named(fd_, directory_fd_, temporary_)) {
        throw std::system_error(std::make_error_code(std::errc::file_exists),
                                "cannot write '" + target_.string() + "': its temporary file '" +
                                    temporary_.string() + "' was replaced by another");
    }
}

void PendingFile::deliver()
{
    const std::string bytes = content();
    [[maybe_unused]] const QuietPipes quiet{};
    write_all(place_fd_, bytes, target_);
    const int fd = place_fd_;
    place_fd_ = -1;
    if (close_file(fd) != 0) {
        fail(errno, target_);
    }
}

void PendingFile::rename_onto_target()
{
    const int fd = fd_;
    fd_ = -1;
    if (close_file(fd) != 0) {
        fail(errno, target_);
    }
    const int error = rename_within(directory_fd_, directory(), temporary_, destination_.filename());
    if (error != 0) {
        fail(error, target_);
    }
    committed_ = true;
}

void commit_all(std::initializer_list<PendingFile*> files)
{
    for (PendingFile* file : files) {
        file->settle();
    }
    for (PendingFile* file : files) {
        if (file->in_place()) {
            file->deliver();
        }
    }
    for (PendingFile* file : files) {
        if (!file->in_place()) {
            file->rename_onto_target();
        }
    }
}

bool same_file(const fs::path& a, const fs::path& b)
{
    std::error_code error;
    const bool a_exists = fs::exists(a, error);
    const bool b_exists = fs::exists(b, error);
    if (a_exists && b_exists) {
        return same_existing_file(a, b);
    }
    if (a_exists || b_exists) {
        return false;
    }
    // Neither exists yet: the same name in the same directory.
    const auto where = [](const fs::path& name) {
        std::error_code ignored;
        fs::path file = name;
        try {
            file = resolve_links(name);
        } catch (const std::system_error&) {
        }
        return fs::weakly_canonical(fs::absolute(file, ignored), ignored);
    };
    return where(a) == where(b);
}

}  // namespace platform
