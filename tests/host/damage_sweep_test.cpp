// Single-byte damage to every part of the module the loader reads, sampled
// (scripts/damage-sweep.py changes every byte): through the command and
// through cvhost_open, each case is a refusal naming the file or a working
// load with the good module's value, never a signal, an abort or a hang.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "cvmodule/cvhost.h"

namespace {

namespace fs = std::filesystem;

std::vector<char> read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T>
T field(const std::vector<char>& bytes, std::uint64_t at)
{
    T value{};
    std::memcpy(&value, &bytes.at(at), sizeof value);
    return value;
}

// [first, last) byte ranges: the ELF header, the program headers and the
// dynamic sections the loader reads.
std::vector<std::pair<std::uint64_t, std::uint64_t>> loader_parts(const std::vector<char>& elf)
{
    const auto phoff = field<std::uint64_t>(elf, 32);
    const auto shoff = field<std::uint64_t>(elf, 40);
    const auto phnum = field<std::uint16_t>(elf, 56);
    const auto shnum = field<std::uint16_t>(elf, 60);
    const auto names = field<std::uint64_t>(elf, shoff + 64 * field<std::uint16_t>(elf, 62) + 24);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> parts{{0, 64}, {phoff, phoff + 56 * phnum}};
    for (std::uint64_t i = 0; i < shnum; ++i) {
        const std::uint64_t at = shoff + 64 * i;
        const std::string name(&elf.at(names + field<std::uint32_t>(elf, at)));
        for (const char* wanted : {".dynamic", ".dynsym", ".dynstr", ".hash", ".gnu.hash", ".gnu.version",
                                   ".gnu.version_d", ".gnu.version_r", ".rela.dyn", ".rela.plt"}) {
            if (name == wanted) {
                parts.emplace_back(field<std::uint64_t>(elf, at + 24),
                                   field<std::uint64_t>(elf, at + 24) + field<std::uint64_t>(elf, at + 32));
            }
        }
    }
    return parts;
}

struct CommandRun {
    int status = -1;  // as waitpid gives it; -1 when it hung and was killed
    std::string out, err;
};

// Runs the command with no input, output to files, at most 30 s.
CommandRun run_command(const std::vector<std::string>& arguments, const fs::path& scratch)
{
    const fs::path out = scratch / "out";
    const fs::path err = scratch / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    CommandRun run;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    run.status = status;
    const std::vector<char> out_bytes = read_file(out);
    const std::vector<char> err_bytes = read_file(err);
    run.out.assign(out_bytes.begin(), out_bytes.end());
    run.err.assign(err_bytes.begin(), err_bytes.end());
    return run;
}

std::string describe(const CommandRun& run)
{
    std::ostringstream text;
    if (run.status == -1) {
        text << "hung";
    } else if (WIFSIGNALED(run.status)) {
        text << "signal " << WTERMSIG(run.status);
    } else {
        text << "exit " << WEXITSTATUS(run.status);
    }
    text << ", stdout '" << run.out << "', stderr '" << run.err << "'";
    return text.str();
}

// The value's bits through cvhost, or the refusal's message.
struct Opened {
    bool loaded = false;
    std::uint64_t bits = 0;
    std::string message;
};

Opened open_module(const fs::path& path)
{
    char message[1024];
    Opened opened;
    cvhost* host = cvhost_open(path.c_str(), message, sizeof message);
    if (host == nullptr) {
        opened.message = message;
        return opened;
    }
    double value = 0.0;
    const std::int32_t status = cvhost_ljungcv(host, 10.0, 0.05, nullptr, &value, nullptr);
    cvhost_close(host);
    opened.loaded = status == CVHOST_STATUS_OK;
    std::memcpy(&opened.bits, &value, sizeof value);
    return opened;
}

class DamageSweep : public ::testing::Test {
protected:
    fs::path scratch = fs::temp_directory_path() / ("cvmodule-sweep-" + std::to_string(getpid()));
    std::vector<char> original = read_file(CVMODULE_PATH);

    void SetUp() override { fs::create_directories(scratch); }
    void TearDown() override { fs::remove_all(scratch); }
};

TEST_F(DamageSweep, EverySampledByteIsRefusedOrLoadsWhole)
{
    const Opened good = open_module(CVMODULE_PATH);
    ASSERT_TRUE(good.loaded) << good.message;
    const std::vector<std::string> good_arguments{LJUNGCV_PATH, "--module", CVMODULE_PATH, "--exact", "10", "0.05"};
    const CommandRun good_run = run_command(good_arguments, scratch);
    ASSERT_EQ(good_run.status, 0) << describe(good_run);

    // Every SWEEP_STEP-th byte (13: about 380 cases), both changes.
    int refused = 0;
    int loaded = 0;
    for (const auto& [first, last] : loader_parts(original)) {
        for (std::uint64_t at = first; at < last; at += SWEEP_STEP) {
            for (const int change : {0xFF, 0x01}) {
                std::vector<char> bytes = original;
                bytes[at] = static_cast<char>(bytes[at] ^ change);
                const fs::path path = scratch / ("byte-" + std::to_string(at) + "-" + std::to_string(change) + ".so");
                std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
                const std::string name = "byte " + std::to_string(at) + " xor " + std::to_string(change);

                const Opened opened = open_module(path);
                if (opened.loaded) {
                    EXPECT_EQ(opened.bits, good.bits) << name;
                } else {
                    EXPECT_NE(opened.message.find("'" + path.string() + "'"), std::string::npos)
                        << name << ": " << opened.message;
                }
                std::vector<std::string> arguments = good_arguments;
                arguments[2] = path.string();
                const CommandRun run = run_command(arguments, scratch);
                const bool exited = run.status >= 0 && WIFEXITED(run.status);
                if (exited && WEXITSTATUS(run.status) == 0) {
                    EXPECT_EQ(run.out, good_run.out) << name;
                    ++loaded;
                } else {
                    // One line naming the file: nothing from the trial.
                    EXPECT_TRUE(exited && WEXITSTATUS(run.status) == 4) << name << ": " << describe(run);
                    EXPECT_EQ(run.err.find("'" + path.string() + "'"), run.err.find('\'')) << name;
                    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << name << ": " << run.err;
                    ++refused;
                }
                fs::remove(path);
            }
        }
    }
    // Both outcomes occur; no trial child is left unreaped.
    EXPECT_GT(refused, 2000 / SWEEP_STEP);
    EXPECT_GT(loaded, 2000 / SWEEP_STEP);
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(DamageSweep, LoadsWithTheStandardStreamsClosed)
{
    // The copy and the trial's pipe must not take descriptors 0 to 2, which
    // the trial points at /dev/null. Checked in a child with all three
    // closed; its exit code tells good (0), refused (1) or damaged (2).
    std::vector<char> damaged = original;
    damaged[16] = 2;  // an executable, not a library
    const fs::path bad = scratch / "bad.so";
    std::ofstream(bad, std::ios::binary).write(damaged.data(), static_cast<std::streamsize>(damaged.size()));
    struct Case {
        std::string path;
        int expected;
    };
    for (const Case& c : {Case{CVMODULE_PATH, 0}, Case{bad.string(), 1}}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(0);
            close(1);
            close(2);
            const Opened opened = open_module(c.path);
            _exit(opened.loaded ? 0 : opened.message.find(c.path) != std::string::npos ? 1 : 2);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.expected) << c.path << ": " << status;
    }
}

}  // namespace
