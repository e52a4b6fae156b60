// The platform block of the stand-in host: load, find, unload.
#include "standin/dynamic_library.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#endif

#include "standin/library_file.h"

namespace standin {

namespace {

void check_file(const std::filesystem::path& path)
{
    const std::string fault = library_file_fault(path);
    if (!fault.empty()) {
        throw LoadError("cannot load module '" + path.string() + "': " + fault);
    }
}

}  // namespace

#if defined(_WIN32)

namespace {

std::string last_error_text()
{
    const DWORD code = GetLastError();
    return std::system_category().message(static_cast<int>(code));
}

}  // namespace

// Windows: the file's checks only; no trial process.
DynamicLibrary::DynamicLibrary(const std::filesystem::path& path, const Trial& /*trial*/) : path_(path)
{
    check_file(path);
    HMODULE module = LoadLibraryW(path.wstring().c_str());
    if (module == nullptr) {
        throw LoadError("cannot load module '" + path.string() + "': " + last_error_text());
    }
    handle_ = module;
    // The image as mapped: SizeOfImage bytes from the module's base.
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto first = reinterpret_cast<std::uintptr_t>(base);
    image_.emplace_back(first, first + nt->OptionalHeader.SizeOfImage);
    // The section table follows the optional header.
    const auto* section = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        reinterpret_cast<const unsigned char*>(&nt->OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if ((section->Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0) {
            code_.emplace_back(first + section->VirtualAddress, first + section->VirtualAddress + section->Misc.VirtualSize);
        }
    }
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
    }
}

void* DynamicLibrary::find(const char* name) const
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void* DynamicLibrary::find(int ordinal) const
{
    const auto* by_ordinal = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(ordinal)));
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), by_ordinal));
}

#else

namespace {

// How long a trial load may take. A good module loads and answers in a few
// milliseconds; a damaged one may loop for ever in its initializers.
constexpr int TRIAL_LIMIT_MS = 5000;

[[noreturn]] void refuse(const std::filesystem::path& path, const std::string& fault)
{
    throw LoadError("cannot load module '" + path.string() + "': " + fault);
}

// The loader's reason names the copy; the message names the file.
std::string loader_reason(std::string_view reason, const std::string& copy, const std::string& file)
{
    std::string named;
    for (std::size_t at = 0; at < reason.size();) {
        if (!copy.empty() && reason.substr(at, copy.size()) == copy) {
            named += file;
            at += copy.size();
        } else {
            named += reason[at++];
        }
    }
    return printable_text(named);
}

std::string error_text(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// A descriptor above the standard streams: a child that points 0, 1 and 2
// at /dev/null must not lose it, even when the caller started with them
// closed.
int above_standard_streams(int fd)
{
    if (fd < 0 || fd > 2) {
        return fd;
    }
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return moved;
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(above_standard_streams(fd)) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = -1;
    }

private:
    int fd_;
};

bool write_all(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The file's bytes in a sealed anonymous memory file, or -1 where the
// system has none (the file itself is then loaded).
Descriptor sealed_copy(const std::filesystem::path& path)
{
    // Non-blocking: a FIFO swapped in since the check must not wait.
    Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat status {};
    if (file.get() < 0 || fstat(file.get(), &status) != 0) {
        refuse(path, error_text("cannot open it"));
    }
    if (!S_ISREG(status.st_mode)) {
        refuse(path, "not a regular file");
    }
    Descriptor copy(memfd_create("cvmodule", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (copy.get() < 0 || access(("/proc/self/fd/" + std::to_string(copy.get())).c_str(), R_OK) != 0) {
        return Descriptor();
    }
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = read(file.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            refuse(path, error_text("cannot read it"));
        }
        if (got == 0) {
            break;
        }
        if (!write_all(copy.get(), buffer.data(), static_cast<std::size_t>(got))) {
            refuse(path, error_text("cannot copy it into memory"));
        }
    }
    if (fcntl(copy.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        refuse(path, error_text("cannot seal its copy"));
    }
    return Descriptor(copy.release());
}

bool name_loaded(const std::string& name)
{
    return dl_iterate_phdr(
               [](dl_phdr_info* info, std::size_t, void* data) {
                   return static_cast<int>(std::strcmp(info->dlpi_name, static_cast<const std::string*>(data)->c_str()) == 0);
               },
               const_cast<std::string*>(&name)) != 0;
}

// The name the loader opens the copy by. The loader takes a name it has
// loaded before for that library, so the descriptor is moved until its
// name is new (a library that stayed loaded may hold a closed one's name).
std::string copy_name(Descriptor& copy)
{
    for (;;) {
        std::string name = "/proc/self/fd/" + std::to_string(copy.get());
        if (!name_loaded(name)) {
            return name;
        }
        Descriptor moved(fcntl(copy.get(), F_DUPFD_CLOEXEC, copy.get() + 1));
        if (moved.get() < 0) {
            throw LoadError(error_text("cannot name the module's copy"));
        }
        copy.reset();
        copy = std::move(moved);
    }
}

// In the child: silent, every signal at its default action and none
// blocked, so that nothing the caller set up (handlers that report, wait
// or jump) runs here; the answer goes to `answer`, then _exit, which runs
// none of the caller's exit handlers. A multi-threaded caller (Python, R)
// leaves only this thread here: glibc resets its allocator and loader locks
// at fork, and the time limit turns any other lock another thread held
// into a refusal rather than a hang.
[[noreturn]] void run_trial(int answer, const std::function<void()>& attempt)
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        sigaction(signal, &action, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd) {
        if (null < 0) {
            close(fd);
        } else if (null != fd) {
            dup2(null, fd);
        }
    }
    // A second limit, should the parent be gone.
    alarm(TRIAL_LIMIT_MS / 1000 + 2);
    std::string reply = "Y";
    try {
        attempt();
    } catch (const std::exception& error) {
        reply = std::string("N") + error.what();
    } catch (...) {
        reply = "Nunknown error";
    }
    reply.push_back('\0');
    write_all(answer, reply.data(), reply.size());
    _exit(0);
}

// Runs `attempt` in a child process; throws LoadError unless it ends well.
void try_in_child(const std::filesystem::path& path, const std::function<void()>& attempt)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        refuse(path, error_text("cannot start a trial load"));
    }
    Descriptor reading(ends[0]);
    Descriptor writing(ends[1]);
    if (reading.get() < 0 || writing.get() < 0) {
        refuse(path, error_text("cannot start a trial load"));
    }
    const pid_t child = fork();
    if (child < 0) {
        refuse(path, error_text("cannot start a trial load"));
    }
    if (child == 0) {
        run_trial(writing.get(), attempt);
    }
    writing.reset();

    // The reply ends with a NUL; EOF without one means the child died.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(TRIAL_LIMIT_MS);
    std::string reply;
    bool finished = false;
    bool timed_out = false;
    while (!finished) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timed_out = true;
            break;
        }
        pollfd wait{reading.get(), POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready <= 0) {
            continue;
        }
        char chunk[512];
        const ssize_t got = read(reading.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        reply.append(chunk, static_cast<std::size_t>(got));
        finished = reply.back() == '\0';
    }
    // The child ends right after its reply, and is waited for; one that is
    // late is ended, and one whose answer broke off is given until the
    // deadline. Reaped either way, unless the caller reaps every child
    // itself.
    if (timed_out) {
        kill(child, SIGKILL);
    }
    const int wait_flags = finished || timed_out ? 0 : WNOHANG;
    int status = 0;
    bool known = false;
    for (int pause_us = 50;; pause_us = std::min(pause_us * 2, 5000)) {
        const pid_t done = waitpid(child, &status, wait_flags);
        if (done == child) {
            known = true;
            break;
        }
        if (done < 0 && errno != EINTR) {
            break;
        }
        if (done == 0 && Clock::now() >= deadline) {
            timed_out = true;
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        if (done == 0) {
            usleep(static_cast<useconds_t>(pause_us));
        }
    }
    if (finished && reply == std::string_view("Y\0", 2) && (!known || (WIFEXITED(status) && WEXITSTATUS(status) == 0))) {
        return;
    }
    if (finished && reply.size() > 1 && reply[0] == 'N') {
        throw LoadError(reply.substr(1, reply.size() - 2));
    }
    if (timed_out) {
        refuse(path, "damaged: a trial load did not finish within " + std::to_string(TRIAL_LIMIT_MS / 1000) + " s");
    }
    if (known && WIFSIGNALED(status)) {
        const char* name = sigabbrev_np(WTERMSIG(status));
        refuse(path, "damaged: a trial load ended with signal " + std::to_string(WTERMSIG(status)) +
                         (name != nullptr ? std::string(" (SIG") + name + ")" : std::string()));
    }
    if (known && WIFEXITED(status)) {
        refuse(path, "damaged: a trial load ended with exit status " + std::to_string(WEXITSTATUS(status)));
    }
    refuse(path, "damaged: a trial load ended without an answer");
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::filesystem::path& path, const Trial& trial) : path_(path)
{
    check_file(path);
    Descriptor copy = sealed_copy(path);
    // dlopen searches the library path for a bare name; a module is always
    // named by its file.
    std::string file = path.has_parent_path() ? path.string() : (std::filesystem::path(".") / path).string();
    if (copy.get() >= 0) {
        file = copy_name(copy);
        // What the copy holds is what is loaded: checked again.
        const std::string fault = library_file_fault(file);
        if (!fault.empty()) {
            refuse(path, fault);
        }
    }
    if (trial) {
        try_in_child(path, [&] {
            DynamicLibrary tried;
            tried.path_ = path;
            tried.load(file);
            trial(std::move(tried));
        });
    }
    load(file);
    copy_ = copy.release();
}

void DynamicLibrary::load(const std::string& file)
{
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        refuse(path_, loader_reason(reason ? reason : "unknown error", file, path_.string()));
    }
    // The image as mapped: the library's loadable segments.
    const link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr) {
        struct Search {
            const link_map* map;
            Ranges* image;
            Ranges* code;
        } search{map, &image_, &code_};
        dl_iterate_phdr(
            [](dl_phdr_info* info, std::size_t, void* data) {
                auto* wanted = static_cast<Search*>(data);
                if (info->dlpi_addr != wanted->map->l_addr || std::strcmp(info->dlpi_name, wanted->map->l_name) != 0) {
                    return 0;
                }
                for (int i = 0; i < info->dlpi_phnum; ++i) {
                    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                    if (segment.p_type == PT_LOAD && (segment.p_flags & PF_R) != 0) {
                        const std::uintptr_t first = info->dlpi_addr + segment.p_vaddr;
                        wanted->image->emplace_back(first, first + segment.p_memsz);
                        if ((segment.p_flags & PF_X) != 0) {
                            wanted->code->emplace_back(first, first + segment.p_memsz);
                        }
                    }
                }
                return 1;
            },
            &search);
    }
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
    if (copy_ >= 0) {
        close(copy_);
    }
}

void* DynamicLibrary::find(const char* name) const
{
    return dlsym(handle_, name);
}

void* DynamicLibrary::find(int /*ordinal*/) const
{
    return nullptr;
}

#endif

std::string printable_text(std::string_view text, std::size_t longest)
{
    std::string shown;
    for (std::size_t at = 0; at < text.size() && shown.size() < longest;) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = byte < 0x80                    ? 1
                                   : byte >= 0xC2 && byte < 0xE0 ? 2
                                   : byte >= 0xE0 && byte < 0xF0 ? 3
                                   : byte >= 0xF0 && byte < 0xF5 ? 4
                                                                 : 0;
        bool whole = length > 0 && at + length <= text.size();
        for (std::size_t i = 1; whole && i < length; ++i) {
            whole = (static_cast<unsigned char>(text[at + i]) & 0xC0) == 0x80;
        }
        if (byte < 0x20 || byte == 0x7F || !whole) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
            ++at;
        } else {
            shown.append(text.substr(at, length));
            at += length;
        }
    }
    return shown.size() < longest ? shown : shown + "...";
}

bool DynamicLibrary::contains(const void* address, std::size_t size) const
{
    const auto first = reinterpret_cast<std::uintptr_t>(address);
    for (const auto& [begin, end] : image_) {
        if (first >= begin && first < end && size <= end - first) {
            return true;
        }
    }
    return false;
}

bool DynamicLibrary::contains_code(const void* address) const
{
    const auto first = reinterpret_cast<std::uintptr_t>(address);
    return std::any_of(code_.begin(), code_.end(),
                       [first](const auto& range) { return first >= range.first && first < range.second; });
}

bool DynamicLibrary::contains_text(const char* text) const
{
    const auto first = reinterpret_cast<std::uintptr_t>(text);
    for (const auto& [begin, end] : image_) {
        if (first >= begin && first < end) {
            return std::memchr(text, '\0', end - first) != nullptr;
        }
    }
    return false;
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, nullptr)),
      copy_(std::exchange(other.copy_, -1)),
      image_(std::move(other.image_)),
      code_(std::move(other.code_))
{
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept
{
    std::swap(path_, other.path_);
    std::swap(handle_, other.handle_);
    std::swap(copy_, other.copy_);
    std::swap(image_, other.image_);
    std::swap(code_, other.code_);
    return *this;
}

}  // namespace standin
