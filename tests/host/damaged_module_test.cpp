// Damaged modules: cut or corrupted copies of the built module, a FIFO, and
// modules whose records promise what they do not hold. Each is a LoadError
// naming the file and the fault, never a signal or a hang.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "standin/call.h"
#include "standin/host_environment.h"
#include "standin/module.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#endif

namespace {

namespace fs = std::filesystem;

class DamagedModules : public ::testing::Test {
protected:
    standin::HostEnvironment host;
    fs::path scratch = fs::temp_directory_path() / ("cvmodule-damaged-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::vector<char> original;

    void SetUp() override
    {
        fs::create_directories(scratch);
        std::ifstream in(CVMODULE_PATH, std::ios::binary);
        original.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        ASSERT_GT(original.size(), 4096u);
    }
    void TearDown() override { fs::remove_all(scratch); }

    fs::path write(const std::string& name, const std::vector<char>& bytes)
    {
        const fs::path path = scratch / (name + fs::path(CVMODULE_PATH).extension().string());
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // Loads the module and asks for everything the host reads of it; the
    // LoadError's message, or empty when it loaded.
    std::string load(const fs::path& path)
    {
        try {
            standin::Module module(host, path);
            module.functions();
            module.version_record();
        } catch (const standin::LoadError& e) {
            return e.what();
        }
        return {};
    }

    // Where the loadable data ends: bytes the loader maps.
    std::uint64_t end_of_segments() const
    {
        std::uint64_t end = 0;
#if defined(_WIN32)
        const auto field = [&](std::size_t at, std::size_t size) {
            std::uint64_t value = 0;
            std::memcpy(&value, &original[at], size);
            return value;
        };
        const std::uint64_t pe = field(0x3C, 4);
        const std::uint64_t table = pe + 24 + field(pe + 20, 2);
        for (std::uint64_t i = 0; i < field(pe + 6, 2); ++i) {
            end = std::max(end, field(table + 40 * i + 20, 4) + field(table + 40 * i + 16, 4));
        }
#else
        std::uint64_t table = 0;
        std::uint16_t count = 0;
        std::memcpy(&table, &original[32], 8);
        std::memcpy(&count, &original[56], 2);
        for (std::uint16_t i = 0; i < count; ++i) {
            std::uint32_t type = 0;
            std::uint64_t offset = 0;
            std::uint64_t size = 0;
            std::memcpy(&type, &original[table + 56 * i], 4);
            std::memcpy(&offset, &original[table + 56 * i + 8], 8);
            std::memcpy(&size, &original[table + 56 * i + 32], 8);
            if (type == 1) {
                end = std::max(end, offset + size);
            }
        }
#endif
        return end;
    }
};

TEST_F(DamagedModules, EveryCutIsRefusedOrLoadsWhole)
{
    // Cut every 97 bytes of what the loader maps (and just short of its
    // end): refused. Past it only section headers and such are lost and the
    // module still loads and computes: sixteen cuts there, each a whole
    // trial load (many in a build with debugging information).
    const std::uint64_t segments_end = end_of_segments();
    std::vector<std::uint64_t> cuts{segments_end - 1};
    for (std::uint64_t size = 0; size < segments_end; size += 97) {
        cuts.push_back(size);
    }
    for (std::uint64_t i = 0; i < 16; ++i) {
        cuts.push_back(segments_end + (original.size() - segments_end) * i / 16);
    }
    for (const std::uint64_t size : cuts) {
        const fs::path path = write("cut-" + std::to_string(size), {original.begin(), original.begin() + static_cast<std::ptrdiff_t>(size)});
        const std::string message = load(path);
        if (size < segments_end) {
            EXPECT_NE(message.find("cannot load module '" + path.string() + "': "), std::string::npos)
                << size << ": " << message;
        } else {
            EXPECT_EQ(message, "") << size;
        }
    }
}

#if !defined(_WIN32)
TEST_F(DamagedModules, CorruptedHeadersAreRefused)
{
    // (what is changed, the change, the fault named)
    const auto put = [](std::vector<char>& bytes, std::uint64_t at, std::uint64_t value, std::size_t size) {
        std::memcpy(&bytes[at], &value, size);
    };
    std::uint64_t table = 0;
    std::memcpy(&table, &original[32], 8);
    const auto segment_of_type = [&](std::uint32_t wanted) {
        for (std::uint64_t at = table;; at += 56) {
            std::uint32_t type = 0;
            std::memcpy(&type, &original[at], 4);
            if (type == wanted) {
                return at;
            }
        }
    };
    const auto field = [&](std::uint64_t at) {
        std::uint64_t value = 0;
        std::memcpy(&value, &original[at], 8);
        return value;
    };
    // Where a dynamic entry's value lies in the file (addresses below the
    // writable segment equal offsets).
    const auto dynamic_value = [&](std::uint64_t tag) {
        for (std::uint64_t at = field(segment_of_type(2) + 8);; at += 16) {
            if (field(at) == tag) {
                return at + 8;
            }
        }
    };
    const auto symbol = [&](const std::string& name) {
        for (std::uint64_t at = field(dynamic_value(6));; at += 24) {
            std::uint32_t name_at = 0;
            std::memcpy(&name_at, &original[at], 4);
            if (name == &original[field(dynamic_value(5)) + name_at]) {
                return at;
            }
        }
    };
    struct Case {
        const char* name;
        std::function<void(std::vector<char>&)> change;
        const char* fault;
    };
    const Case cases[] = {
        {"program headers far out", [&](auto& b) { put(b, 32, 0x7fffffffffff, 8); }, "the program header table"},
        {"a segment far out", [&](auto& b) { put(b, segment_of_type(1) + 8, 0x10000000, 8); }, "lies past the end"},
        {"a segment too long", [&](auto& b) { put(b, segment_of_type(1) + 32, 0xffffffffffffff, 8); },
         "lies past the end"},
        {"dynamic section far out", [&](auto& b) { put(b, segment_of_type(2) + 8, 0x7ffffff0, 8); }, "lies past the end"},
        {"string table address", [&](auto& b) { put(b, dynamic_value(5), 0x7ff000000000, 8); },
         "dynamic entry 5 points outside the library"},
        {"initializer in the headers", [&](auto& b) { put(b, dynamic_value(12), 0x40, 8); },
         "dynamic entry 12 points outside the library's code"},
        {"segment over the next", [&](auto& b) { put(b, segment_of_type(1) + 40, 0xf718, 8); },
         "overlaps or precedes the one before it"},
        {"executable stack", [&](auto& b) { put(b, segment_of_type(0x6474e551) + 4, 7, 4); },
         "asks for an executable stack"},
        {"read-only range elsewhere", [&](auto& b) { put(b, segment_of_type(0x6474e552) + 16, field(segment_of_type(0x6474e552) + 16) + 0x10000, 8); },
         "the read-only-after-relocation range"},
        {"relocation elsewhere", [&](auto& b) { put(b, field(dynamic_value(7)), 0x7fff0000, 8); },
         "a relocation writes outside the library's data"},
        {"mcn_main in the headers", [&](auto& b) { put(b, symbol("mcn_main") + 8, 0x40, 8); },
         "mcn_main lies outside the module's code"},
        {"not a shared object", [&](auto& b) { put(b, 16, 2, 2); }, "not a shared library (ELF type 2)"},
        {"32-bit", [&](auto& b) { put(b, 4, 1, 1); }, "not a 64-bit little-endian ELF file"},
    };
    for (const Case& c : cases) {
        std::vector<char> bytes = original;
        c.change(bytes);
        const fs::path path = write(c.name, bytes);
        const std::string message = load(path);
        std::string quoted(1, '\'');
        quoted.append(path.string()).append("': ");
        EXPECT_NE(message.find(quoted), std::string::npos) << c.name;
        EXPECT_NE(message.find(c.fault), std::string::npos) << c.name << ": " << message;
    }
}

TEST_F(DamagedModules, TrialLoadsThatEndBadlyAreRefused)
{
    // Each ends a silent child process, not this one; the hang costs the
    // time limit.
    struct Case {
        const char* library;
        const char* fault;
    };
    const Case cases[] = {
        {FAKE_CRASHING_INIT, "a trial load ended with signal 11 (SIGSEGV)"},
        {FAKE_EXITING_INIT, "a trial load ended with exit status 127"},
        {FAKE_ENDLESS_INIT, "a trial load did not finish within 5 s"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(load(c.library), std::string("cannot load module '") + c.library + "': damaged: " + c.fault);
    }
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(DamagedModules, FifoAndDirectoryAreNotOpened)
{
    const fs::path fifo = scratch / "fifo.so";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(load(fifo), "cannot load module '" + fifo.string() + "': a FIFO, not a library file");
    EXPECT_EQ(load(scratch), "cannot load module '" + scratch.string() + "': a directory, not a library file");
}
#endif

TEST_F(DamagedModules, RecordsThatPromiseTooMuchAreRefused)
{
    struct Case {
        const char* library;
        const char* fault;
    };
    const Case cases[] = {
        {FAKE_NULL_ENTRY, "function FAKE has no entry"},
        {FAKE_HUGE_COUNT, "module fake names 2147483647 functions, more than its definitions hold"},
        {FAKE_ENDLESS_LIST, "the descriptor list has no end"},
        {FAKE_INTEGER_VERSION, "version record slot 0 should hold the address of text, not 0x3039"},
        {FAKE_WILD_NAMES, "module fake's names record lies outside the host's memory and the module"},
        {FAKE_SHORT_ENTRIES, "module fake's entries record cannot hold 2 entries"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(load(c.library), std::string("'") + c.library + "': " + c.fault);
    }
}

TEST(TextArguments, LongerThanTheHostCanDescribeAreRefused)
{
    const standin::Argument arguments[] = {0.0, 0.0, std::string("C")};
    standin::PreparedCall call(arguments);
    const char* text = "C";
    // Never read: the length alone is refused.
    EXPECT_THROW(call.set_text(2, std::string_view(text, std::size_t{1} << 31)), std::length_error);
    call.set_text(2, std::string_view(text, 1));
}

}  // namespace
