// Temporary files created exclusively, given the target's mode, and renamed
// onto it only when committed.
#include "platform/pending_file.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

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

}  // namespace
