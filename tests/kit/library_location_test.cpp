// libcvhost finds the module beside itself from where it was loaded, not
// from the working directory of the moment: loaded by a relative name, then
// a change of directory to one holding a decoy, it still opens its own.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

// Not linked: the library is loaded by hand, by a relative name.
struct cvhost;

namespace {

namespace fs = std::filesystem;

TEST(LibraryLocation, FoundWhenLoadedNotWhenOpened)
{
    const fs::path library(CVHOST_PATH);
    const fs::path saved = fs::current_path();
    const fs::path decoy_root = fs::temp_directory_path() / ("cvhost-decoy-" + std::to_string(getpid()));
    // The decoy stands where the library's relative name, read against the
    // new directory, would lead: <decoy>/<dir>/<module file>.
    fs::create_directories(decoy_root / library.parent_path().filename());
    std::ofstream(decoy_root / library.parent_path().filename() / fs::path(CVMODULE_PATH).filename()) << "decoy";

    fs::current_path(library.parent_path().parent_path());
    const std::string relative = (library.parent_path().filename() / library.filename()).string();
    void* handle = dlopen(relative.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    fs::current_path(decoy_root);

    using Open = cvhost* (*)(const char*, char*, std::size_t);
    using Close = void (*)(cvhost*);
    using Ljungcv = std::int32_t (*)(cvhost*, double, double, const char*, double*, int*);
    const auto open = reinterpret_cast<Open>(dlsym(handle, "cvhost_open"));
    const auto close = reinterpret_cast<Close>(dlsym(handle, "cvhost_close"));
    const auto ljungcv = reinterpret_cast<Ljungcv>(dlsym(handle, "cvhost_ljungcv"));
    ASSERT_TRUE(open != nullptr && close != nullptr && ljungcv != nullptr);
    char message[512];
    cvhost* host = open(nullptr, message, sizeof message);
    EXPECT_NE(host, nullptr) << message;
    if (host != nullptr) {
        double value = 0.0;
        int rejected = 0;
        EXPECT_EQ(ljungcv(host, 10.0, 0.05, "C", &value, &rejected), 0);
        EXPECT_GT(value, 1.0);
        close(host);
    }
    fs::current_path(saved);
    fs::remove_all(decoy_root);
}

}  // namespace
