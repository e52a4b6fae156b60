// Finding oneself without the working directory.
#include "platform/own_location.h"

#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class OwnLocation : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("own-location-" + std::to_string(getpid()));
        fs::create_directories(root / "bin");
        fs::create_directories(root / "other");
        std::ofstream(root / "bin" / "tool") << "#!/bin/sh\n";
        fs::permissions(root / "bin" / "tool", fs::perms::owner_all);
        std::ofstream(root / "other" / "tool") << "not a program\n";  // no execute bit
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(OwnLocation, ProgramFromArgv0)
{
    const std::string bin = (root / "bin").string();
    const std::string other = (root / "other").string();
    struct Case {
        std::string argv0;
        std::string search_path;
        std::optional<fs::path> found;  // none: refused
    };
    const Case cases[] = {
        // Absolute: itself, PATH aside.
        {(root / "bin" / "tool").string(), "", root / "bin" / "tool"},
        // A bare name: the first directory on PATH that has it as a program.
        {"tool", other + ":" + bin, root / "bin" / "tool"},
        {"tool", "::" + bin, root / "bin" / "tool"},
        // Relative directories on PATH, the empty one too, mean the working
        // directory: skipped, even where they hold the program.
        {"tool", ".:bin:" + (root / "none").string(), std::nullopt},
        {"tool", "", std::nullopt},
        {"missing", bin, std::nullopt},
        // A relative name with a directory: relative to where it was started.
        {"bin/tool", bin, std::nullopt},
        {"./tool", bin, std::nullopt},
        {"", bin, std::nullopt},
    };
    const fs::path saved = fs::current_path();
    fs::current_path(root);  // where the relative names would find "tool"
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argv0 + " on PATH " + c.search_path);
        if (c.found) {
            EXPECT_EQ(platform::program_file_from_argv0(c.argv0, c.search_path), *c.found);
        } else {
            EXPECT_THROW(platform::program_file_from_argv0(c.argv0, c.search_path), platform::LocationError);
        }
    }
    fs::current_path(saved);
}

}  // namespace
