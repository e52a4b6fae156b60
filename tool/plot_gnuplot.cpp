#include "plot_gnuplot.h"

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#if defined(_WIN32)

// Windows: the script goes to a file in the temporary directory, and gnuplot
// is started without a shell, so the program name needs no quoting rules of
// cmd.exe.
#include <process.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace ljungcv {

GnuplotRun run_gnuplot(const std::string& program, std::string_view script)
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
    const intptr_t status = _spawnlp(_P_WAIT, program.c_str(), program.c_str(), argument.c_str(), nullptr);
    const int spawn_errno = errno;
    std::filesystem::remove(script_path, error);
    if (status == -1) {
        return {GnuplotRun::not_started, fmt::format("cannot run '{}': {}", program, std::strerror(spawn_errno))};
    }
    if (status != 0) {
        return {GnuplotRun::failed, fmt::format("'{}' failed with exit status {}", program, status)};
    }
    return {GnuplotRun::done, {}};
}

}  // namespace ljungcv

#else

// POSIX: the script goes through a pipe to gnuplot's standard input.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

extern char** environ;

namespace ljungcv {

namespace {

// Writes all of `data` to `fd`; false when the reader went away or the
// write failed. SIGPIPE is ignored meanwhile, so that a gnuplot that stopped
// early is reported by its exit status instead of ending this process.
bool write_all(int fd, std::string_view data)
{
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previous);
    bool written = true;
    while (!data.empty()) {
        const ssize_t count = write(fd, data.data(), data.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            written = false;
            break;
        }
        data.remove_prefix(static_cast<std::size_t>(count));
    }
    sigaction(SIGPIPE, &previous, nullptr);
    return written;
}

}  // namespace

GnuplotRun run_gnuplot(const std::string& program, std::string_view script)
{
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

    std::string argv0 = program;
    char* argv[] = {argv0.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (spawned != 0) {
        close(fds[1]);
        return {GnuplotRun::not_started, fmt::format("cannot run '{}': {}", program, std::strerror(spawned))};
    }

    const bool written = write_all(fds[1], script);
    close(fds[1]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return {GnuplotRun::failed, fmt::format("lost '{}': {}", program, std::strerror(errno))};
        }
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
