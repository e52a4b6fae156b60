// Temporary files created exclusively, given the target's mode, and renamed
// onto it only when committed.
#include "platform/pending_file.h"

#include <fcntl.h>

#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

mode_t mode_of(const fs::path& path)
{
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0);
    return status.st_mode & 0777;
}

class PendingFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = fs::temp_directory_path() / ("pending-file-" + std::to_string(getpid()));
        fs::create_directories(directory);
    }
    void TearDown() override { fs::remove_all(directory); }
    fs::path directory;
};

TEST_F(PendingFileTest, ModeOfTheCommittedFile)
{
    struct Case {
        const char* name;
        std::optional<mode_t> existing;  // the target's mode before, if there is one
        mode_t umask;
        mode_t expected;
    };
    const Case cases[] = {
        {"new file, umask 022", std::nullopt, 022, 0644},
        {"new file, umask 077", std::nullopt, 077, 0600},
        {"new file, umask 002", std::nullopt, 002, 0664},
        {"replaced 600, umask 022", 0600, 022, 0600},
        {"replaced 640, umask 077", 0640, 077, 0640},
        {"replaced 755", 0755, 022, 0755},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path target = directory / "picture.svg";
        fs::remove(target);
        if (c.existing) {
            std::ofstream(target) << "old";
            ASSERT_EQ(chmod(target.c_str(), *c.existing), 0);
        }
        const mode_t saved = umask(c.umask);
        {
            platform::PendingFile file(target);
            file.write("new");
            file.commit();
        }
        umask(saved);
        EXPECT_EQ(mode_of(target), c.expected);
        EXPECT_EQ(read_file(target), "new");
    }
}

TEST_F(PendingFileTest, NeverWritesThroughALinkAtItsName)
{
    const fs::path victim = directory / "victim.txt";
    std::ofstream(victim) << "victim";
    const fs::path target = directory / "picture.svg";
    // Links at every name the first attempts would take.
    for (int attempt = 0; attempt < 3; ++attempt) {
        fs::create_symlink(victim, directory / (".pending-" + std::to_string(getpid()) + "-" +
                                                std::to_string(attempt) + ".tmp.svg"));
    }
    {
        platform::PendingFile file(target);
        file.write("picture");
        EXPECT_EQ(file.content(), "picture");
        file.commit();
    }
    EXPECT_EQ(read_file(victim), "victim");
    EXPECT_EQ(read_file(target), "picture");
    EXPECT_TRUE(fs::is_symlink(directory / (".pending-" + std::to_string(getpid()) + "-0.tmp.svg")));
}

// What sits at the target's name decides how the content reaches it; a
// link or a FIFO is still there afterwards, and the content is where it
// leads.
TEST_F(PendingFileTest, WhatTheNameLeadsToGetsTheContent)
{
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;  // puts something at `target`
        const char* receiver;                       // the name to read the content from, relative
        fs::file_type left;                         // what is at `target` afterwards
    };
    const auto file = [](const fs::path& at, const char* text) { std::ofstream(at) << text; };
    const Case cases[] = {
        {"nothing", [](const fs::path&) {}, "target", fs::file_type::regular},
        {"a regular file", [&](const fs::path& t) { file(t, "old content, longer"); }, "target", fs::file_type::regular},
        {"a link to a file",
         [&](const fs::path& t) {
             file(t.parent_path() / "real", "old");
             fs::create_symlink("real", t);
         },
         "real", fs::file_type::symlink},
        {"a link to nothing yet",
         [](const fs::path& t) { fs::create_symlink("made", t); }, "made", fs::file_type::symlink},
        {"a chain of links into another directory",
         [&](const fs::path& t) {
             fs::create_directory(t.parent_path() / "sub");
             file(t.parent_path() / "sub" / "real", "old");
             fs::create_symlink("real", t.parent_path() / "sub" / "inner");
             fs::create_symlink("sub/inner", t);
         },
         "sub/real", fs::file_type::symlink},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(directory);
        fs::create_directories(directory);
        const fs::path target = directory / "target";
        c.make(target);
        {
            platform::PendingFile pending(target);
            EXPECT_FALSE(pending.in_place());
            pending.write("new");
            pending.commit();
        }
        EXPECT_EQ(fs::symlink_status(target).type(), c.left);
        EXPECT_EQ(read_file(directory / c.receiver), "new");
        for (const auto& entry : fs::recursive_directory_iterator(directory)) {
            EXPECT_EQ(entry.path().filename().string().rfind(".pending-", 0), std::string::npos) << entry.path();
        }
    }
}

TEST_F(PendingFileTest, AFifoOrDeviceIsWrittenInPlace)
{
    const fs::path fifo = directory / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path link = directory / "link";
    fs::create_symlink(fifo, link);
    std::future<std::string> reader = std::async(std::launch::async, [&] { return read_file(fifo); });
    {
        platform::PendingFile pending(link);
        EXPECT_TRUE(pending.in_place());
        pending.write("through the fifo");
        pending.commit();
    }
    EXPECT_EQ(reader.get(), "through the fifo");
    EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
    EXPECT_TRUE(fs::is_symlink(link));

    platform::PendingFile null_device("/dev/null");
    EXPECT_TRUE(null_device.in_place());
    null_device.write("gone");
    null_device.commit();
    EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
}

TEST_F(PendingFileTest, RefusedTargetsLeaveNothingBehind)
{
    fs::create_directory(directory / "a directory");
    fs::create_symlink("loop two", directory / "loop one");
    fs::create_symlink("loop one", directory / "loop two");
    fs::create_symlink("missing/file", directory / "into nowhere");
    const struct {
        const char* name;
        std::errc error;
    } cases[] = {
        {"a directory", std::errc::is_a_directory},
        {"loop one", std::errc::too_many_symbolic_link_levels},
        {"into nowhere", std::errc::no_such_file_or_directory},
        {"no directory/file", std::errc::no_such_file_or_directory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            platform::PendingFile pending(directory / c.name);
            ADD_FAILURE() << "accepted";
        } catch (const std::system_error& e) {
            EXPECT_EQ(e.code(), std::make_error_code(c.error)) << e.what();
            EXPECT_NE(std::string(e.what()).find("cannot write '"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 4);
}

// Committed together, files are replaced only when every one can take its
// content: a device that refuses it leaves the other file as it was.
TEST_F(PendingFileTest, CommittedTogetherOrNotAtAll)
{
    const fs::path picture = directory / "picture.svg";
    std::ofstream(picture) << "old picture";
    {
        platform::PendingFile script("/dev/full");
        platform::PendingFile drawn(picture);
        script.write("script");
        drawn.write("new picture");
        EXPECT_THROW(platform::commit_all({&script, &drawn}), std::system_error);
    }
    EXPECT_EQ(read_file(picture), "old picture");
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 1);
}

TEST_F(PendingFileTest, SameFileFollowsLinks)
{
    std::ofstream(directory / "real") << "x";
    std::ofstream(directory / "other") << "x";
    fs::create_symlink("real", directory / "link");
    fs::create_symlink("new", directory / "dangling");
    fs::create_hard_link(directory / "real", directory / "hard");
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"real", "real", true},       {"real", "link", true},     {"real", "hard", true},
        {"real", "other", false},     {"new", "./new", true},     {"new", "dangling", true},
        {"new", "newer", false},      {"real", "new", false},     {"dangling", "real", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::same_file(directory / c.a, directory / c.b), c.same) << c.a << " " << c.b;
    }
    EXPECT_TRUE(platform::same_file("/dev/stdout", "/dev/stdout"));
}

}  // namespace
