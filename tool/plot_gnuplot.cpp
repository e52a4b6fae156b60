#include "plot_gnuplot.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <optional>

#include <fmt/format.h>

namespace ljungcv {

namespace {

volatile std::sig_atomic_t caught_signal = 0;

extern "C" void note_signal(int signal)
{
    caught_signal = signal;
}

#if defined(_WIN32)
constexpr std::array<int, 2> GUARDED_SIGNALS{SIGINT, SIGTERM};
#else
constexpr std::array<int, 3> GUARDED_SIGNALS{SIGINT, SIGTERM, SIGHUP};
#endif

}  // namespace

// A signal that was ignored when the command started (as for a job started
// in the background) stays ignored.
InterruptGuard::InterruptGuard()
{
    for (const int signal : GUARDED_SIGNALS) {
        if (std::signal(signal, note_signal) == SIG_IGN) {
            std::signal(signal, SIG_IGN);
        }
    }
}

InterruptGuard::~InterruptGuard()
{
    for (const int signal : GUARDED_SIGNALS) {
        if (std::signal(signal, SIG_DFL) == SIG_IGN) {
            std::signal(signal, SIG_IGN);
        }
    }
}

int InterruptGuard::caught()
{
    return caught_signal;
}

void InterruptGuard::reraise()
{
    const int signal = caught_signal;
    if (signal != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

bool is_complete_picture(const std::filesystem::path& file, PictureFormat format)
{
    std::ifstream in(file, std::ios::binary);
    std::string content;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        content.append(block, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return false;
    }
    std::string_view text = content;
    const auto starts = [&](std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; };
    const auto ends = [&](std::string_view suffix) {
        std::string_view trimmed = text;
        while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == '\r' || trimmed.back() == ' ')) {
            trimmed.remove_suffix(1);
        }
        return trimmed.size() >= suffix.size() && trimmed.substr(trimmed.size() - suffix.size()) == suffix;
    };
    switch (format) {
    case PictureFormat::svg:
        return ends("</svg>");
    case PictureFormat::pdf:
        return starts("%PDF-") && ends("%%EOF");
    case PictureFormat::png: {
        // The signature, and last the empty IEND chunk with its checksum.
        static constexpr char signature[] = "\x89PNG\r\n\x1a\n";
        static constexpr char iend[] = "\0\0\0\0IEND\xae\x42\x60\x82";
        const std::string_view last(iend, sizeof iend - 1);
        return starts(std::string_view(signature, sizeof signature - 1)) && text.size() >= last.size() &&
               text.substr(text.size() - last.size()) == last;
    }
    }
    return false;
}

}  // namespace ljungcv

#if defined(_WIN32)

// Windows: the script goes to a file in the temporary directory, and gnuplot
// is started without a shell, so the program name needs no quoting rules of
// cmd.exe.
#include <process.h>
#include <windows.h>

#include <cstdio>

namespace ljungcv {

GnuplotRun run_gnuplot(const std::string& program, std::string_view script, std::chrono::milliseconds limit)
{
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::temp_directory_path(error);
    if (error) {
        return {GnuplotRun::not_started, fmt::format("no temporary directory for the gnuplot script: {}", error.message())};
    }
    const std::filesystem::path script_path = directory / fmt::format("ljungcv-plot-{}.gp", _getpid());
    {
        std::ofstream file(script_path, std::ios::binary);
        file.write(script.data(), static_cast<std::streamsize>(script.size()));
        if (!file.flush()) {
            return {GnuplotRun::not_started, fmt::format("cannot write the gnuplot script '{}'", script_path.string())};
        }
    }
    // The C runtime joins arguments with blanks; the quotes keep a path with
    // blanks in one piece.
    const std::string argument = fmt::format("\"{}\"", script_path.string());
    const intptr_t process = _spawnlp(_P_NOWAIT, program.c_str(), program.c_str(), argument.c_str(), nullptr);
    const int spawn_errno = errno;
    if (process == -1) {
        std::filesystem::remove(script_path, error);
        return {GnuplotRun::not_started, fmt::format("cannot run '{}': {}", program, std::strerror(spawn_errno))};
    }
    const auto handle = reinterpret_cast<HANDLE>(process);  // NOLINT(performance-no-int-to-ptr)
    const DWORD waited = WaitForSingleObject(handle, static_cast<DWORD>(std::min<long long>(limit.count(), 0x7fffffffLL)));
    DWORD status = 0;
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(handle, 1);
        WaitForSingleObject(handle, INFINITE);
    }
    GetExitCodeProcess(handle, &status);
    CloseHandle(handle);
    std::filesystem::remove(script_path, error);
    if (waited != WAIT_OBJECT_0) {
        return {GnuplotRun::timed_out, fmt::format("'{}' did not finish within {} s; stopped it", program,
                                                   static_cast<double>(limit.count()) / 1000.0)};
    }
    if (status != 0) {
        return {GnuplotRun::failed, fmt::format("'{}' failed with exit status {}", program, status)};
    }
    return {GnuplotRun::done, {}};
}

}  // namespace ljungcv

#else

// POSIX: the script goes through a pipe to gnuplot's standard input. The
// pipe is written without blocking and gnuplot is waited for in short
// steps, so that neither a gnuplot that stops reading nor one that never
// ends can hold the command past its time limit or an interrupt.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ljungcv {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds STEP{10};

// Stops gnuplot, with whatever it started, and collects it.
void stop(pid_t pid)
{
    kill(-pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Ignores SIGPIPE while it lives: a gnuplot that stopped reading is then
// reported by its exit status instead of ending this process.
class IgnoreSigpipe {
public:
    IgnoreSigpipe()
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, &previous_);
    }
    ~IgnoreSigpipe() { sigaction(SIGPIPE, &previous_, nullptr); }
    IgnoreSigpipe(const IgnoreSigpipe&) = delete;
    IgnoreSigpipe& operator=(const IgnoreSigpipe&) = delete;

private:
    struct sigaction previous_ {};
};

}  // namespace

GnuplotRun run_gnuplot(const std::string& program, std::string_view script, std::chrono::milliseconds limit)
{
    const Clock::time_point deadline = Clock::now() + limit;
    int fds[2];
    if (pipe(fds) != 0) {
        return {GnuplotRun::not_started, fmt::format("cannot make a pipe to '{}': {}", program, std::strerror(errno))};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    // gnuplot starts with the signals at their defaults, whatever this
    // process catches or ignores.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    for (const int signal : GUARDED_SIGNALS) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    // In a process group of its own, so that stopping it stops all it started.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::string argv0 = program;
    char* argv[] = {argv0.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[0]);
    if (spawned != 0) {
        close(fds[1]);
        return {GnuplotRun::not_started, fmt::format("cannot run '{}': {}", program, std::strerror(spawned))};
    }

    const IgnoreSigpipe ignore_sigpipe;
    const auto stopped = [&]() -> std::optional<GnuplotRun> {
        if (InterruptGuard::caught() != 0) {
            stop(pid);
            return GnuplotRun{GnuplotRun::interrupted, fmt::format("interrupted by signal {}", InterruptGuard::caught())};
        }
        if (Clock::now() >= deadline) {
            stop(pid);
            return GnuplotRun{GnuplotRun::timed_out,
                              fmt::format("'{}' did not finish within {} s; stopped it", program,
                                          static_cast<double>(limit.count()) / 1000.0)};
        }
        return std::nullopt;
    };

    fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    bool written = true;
    while (!script.empty()) {
        if (auto outcome = stopped()) {
            close(fds[1]);
            return *outcome;
        }
        pollfd ready{fds[1], POLLOUT, 0};
        if (poll(&ready, 1, static_cast<int>(STEP.count())) <= 0) {
            continue;  // not ready yet, or a signal: look again
        }
        const ssize_t count = write(fds[1], script.data(), script.size());
        if (count < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            written = false;  // gnuplot stopped reading
            break;
        }
        script.remove_prefix(static_cast<std::size_t>(count));
    }
    close(fds[1]);

    int status = 0;
    while (true) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            return {GnuplotRun::failed, fmt::format("lost '{}': {}", program, std::strerror(errno))};
        }
        if (auto outcome = stopped()) {
            return *outcome;
        }
        const timespec pause{0, std::chrono::duration_cast<std::chrono::nanoseconds>(STEP).count()};
        nanosleep(&pause, nullptr);
    }
    if (WIFSIGNALED(status)) {
        return {GnuplotRun::failed, fmt::format("'{}' was ended by signal {}", program, WTERMSIG(status))};
    }
    if (WEXITSTATUS(status) != 0) {
        return {GnuplotRun::failed, fmt::format("'{}' failed with exit status {}", program, WEXITSTATUS(status))};
    }
    if (!written) {
        return {GnuplotRun::failed, fmt::format("'{}' stopped reading the script", program)};
    }
    return {GnuplotRun::done, {}};
}

}  // namespace ljungcv

#endif
