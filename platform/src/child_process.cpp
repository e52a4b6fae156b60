// The platform block for running a program: posix_spawn with a pipe and a
// process group of its own on POSIX; CreateProcess with a writer thread on
// Windows.
#include "platform/child_process.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <optional>

namespace platform {

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

}  // namespace platform

#if defined(_WIN32)

// Windows: the input goes through a pipe written by a thread of its own, so
// that a program that stops reading cannot hold this one past the limit; a
// job object plays the process group; the output descriptor becomes the
// program's standard output handle.
#include <io.h>
#include <windows.h>

#include <filesystem>
#include <thread>

namespace platform {

namespace {

// One argument as the C runtime of the started program splits them:
// quoted, with backslashes before a quote mark doubled.
std::wstring quoted(const std::string& argument)
{
    const std::wstring wide = std::filesystem::path(argument).wstring();
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : wide) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, L'\\');
    return text + L"\"";
}

HANDLE inheritable(HANDLE handle)
{
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return copy;
}

}  // namespace

ProgramRun run_program(const ProgramRequest& request)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
        return {ProgramRun::not_started, EPIPE};
    }
    SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, 0);
    const HANDLE error_handle = GetStdHandle(STD_ERROR_HANDLE);
    const HANDLE output = inheritable(request.output >= 0
                                          ? reinterpret_cast<HANDLE>(_get_osfhandle(request.output))  // NOLINT(performance-no-int-to-ptr)
                                          : error_handle);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read_end;
    startup.hStdOutput = output;
    startup.hStdError = error_handle;
    std::wstring command_line = quoted(request.program);
    for (const std::string& argument : request.arguments) {
        command_line += L" " + quoted(argument);
    }
    // A job holds the program and all it starts, so that stopping it stops
    // them all, and none outlives the run; it starts suspended until it is in.
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job != nullptr) {
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED, nullptr, nullptr, &startup,
                                        &process);
    const DWORD start_error = GetLastError();
    CloseHandle(read_end);
    if (output != nullptr) {
        CloseHandle(output);
    }
    if (!started) {
        CloseHandle(write_end);
        if (job != nullptr) {
            CloseHandle(job);
        }
        return {ProgramRun::not_started, start_error == ERROR_FILE_NOT_FOUND ? ENOENT : EINVAL};
    }
    if (job != nullptr) {
        AssignProcessToJobObject(job, process.hProcess);
    }
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);

    bool written = true;
    std::thread writer([&] {
        std::string_view input = request.input;
        while (!input.empty()) {
            DWORD count = 0;
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(input.size(), 1 << 16));
            if (!WriteFile(write_end, input.data(), chunk, &count, nullptr)) {
                written = false;
                break;
            }
            input.remove_prefix(count);
        }
        CloseHandle(write_end);
    });
    const auto step = std::chrono::milliseconds(10);
    const auto deadline = std::chrono::steady_clock::now() + request.limit;
    std::optional<ProgramRun> stopped;
    while (WaitForSingleObject(process.hProcess, static_cast<DWORD>(step.count())) == WAIT_TIMEOUT) {
        if (InterruptGuard::caught() != 0) {
            stopped = ProgramRun{ProgramRun::interrupted, InterruptGuard::caught()};
        } else if (std::chrono::steady_clock::now() >= deadline) {
            stopped = ProgramRun{ProgramRun::timed_out, 0};
        }
        if (stopped) {
            if (job == nullptr || !TerminateJobObject(job, 1)) {
                TerminateProcess(process.hProcess, 1);
            }
            WaitForSingleObject(process.hProcess, INFINITE);
            break;
        }
    }
    // Ending the job ends whatever still holds the pipe, which frees the writer.
    if (job != nullptr) {
        CloseHandle(job);
    }
    writer.join();
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    if (stopped) {
        return *stopped;
    }
    if (status != 0) {
        return {ProgramRun::exited, static_cast<int>(status)};
    }
    return {written ? ProgramRun::done : ProgramRun::input_refused, 0};
}

}  // namespace platform

#else

// POSIX: the input goes through a pipe written without blocking, and the
// program is waited for in short steps, so that neither a program that
// stops reading nor one that never ends can hold this one past its limit or
// an interrupt.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

extern char** environ;

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds STEP{10};

// Stops the program, with whatever it started, and collects it.
void stop(pid_t pid)
{
    kill(-pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Ignores SIGPIPE while it lives: a program that stopped reading is then
// told by a failed write instead of ending this process.
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

// The entries of this process's environment whose names are kept.
std::vector<char*> kept_environment(const std::vector<std::string>& names)
{
    std::vector<char*> kept;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals == nullptr) {
            continue;
        }
        const std::string_view name(*entry, static_cast<std::size_t>(equals - *entry));
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            kept.push_back(*entry);
        }
    }
    kept.push_back(nullptr);
    return kept;
}

}  // namespace

ProgramRun run_program(const ProgramRequest& request)
{
    const Clock::time_point deadline = Clock::now() + request.limit;
    int fds[2];
    if (pipe(fds) != 0) {
        return {ProgramRun::not_started, errno};
    }
    // Our end is closed in the program; its end becomes standard input.
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, request.output >= 0 ? request.output : STDERR_FILENO, STDOUT_FILENO);
    // The program starts with the signals at their defaults, whatever this
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

    std::vector<std::string> words{request.program};
    words.insert(words.end(), request.arguments.begin(), request.arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> environment = kept_environment(request.kept_variables);
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, request.program.c_str(), &actions, &attributes, argv.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[0]);
    if (spawned != 0) {
        close(fds[1]);
        return {ProgramRun::not_started, spawned};
    }

    const IgnoreSigpipe ignore_sigpipe;
    const auto stopped = [&]() -> std::optional<ProgramRun> {
        if (InterruptGuard::caught() != 0) {
            stop(pid);
            return ProgramRun{ProgramRun::interrupted, InterruptGuard::caught()};
        }
        if (Clock::now() >= deadline) {
            stop(pid);
            return ProgramRun{ProgramRun::timed_out, 0};
        }
        return std::nullopt;
    };

    fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    std::string_view input = request.input;
    bool written = true;
    while (!input.empty()) {
        if (auto outcome = stopped()) {
            close(fds[1]);
            return *outcome;
        }
        pollfd ready{fds[1], POLLOUT, 0};
        if (poll(&ready, 1, static_cast<int>(STEP.count())) <= 0) {
            continue;  // not ready yet, or a signal: look again
        }
        const ssize_t count = write(fds[1], input.data(), input.size());
        if (count < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            written = false;  // the program stopped reading
            break;
        }
        input.remove_prefix(static_cast<std::size_t>(count));
    }
    close(fds[1]);

    int status = 0;
    while (true) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            return {ProgramRun::lost, errno};
        }
        if (auto outcome = stopped()) {
            return *outcome;
        }
        const timespec pause{0, std::chrono::duration_cast<std::chrono::nanoseconds>(STEP).count()};
        nanosleep(&pause, nullptr);
    }
    if (WIFSIGNALED(status)) {
        return {ProgramRun::killed, WTERMSIG(status)};
    }
    if (WEXITSTATUS(status) != 0) {
        return {ProgramRun::exited, WEXITSTATUS(status)};
    }
    return {written ? ProgramRun::done : ProgramRun::input_refused, 0};
}

}  // namespace platform

#endif
