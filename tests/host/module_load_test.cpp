// Loading a module and identifying it, and the loader's errors.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "module_fixture.h"
#include "standin/dynamic_library.h"

namespace {

using standin::field_text;

TEST_F(ModuleTest, ImageInformationHasItsMarkerMagicAndFields)
{
    const ImageInformation& image = module.image();
    EXPECT_EQ(std::memcmp(image.marker, "ZMT_Image_Information=\0\0", 24), 0);
    EXPECT_EQ(image.magic, 0xB0BDEBEDu);
    EXPECT_EQ(image.image_code, 8u);
    EXPECT_EQ(std::memcmp(image.image_revision, "001\0\0\0\0\0", 8), 0);

    const std::string short_version = field_text(image.short_version, sizeof image.short_version);
    ASSERT_EQ(short_version.size(), 4u);
    EXPECT_TRUE(std::isdigit(short_version[0]) && short_version[1] == '.' && std::isdigit(short_version[2]) &&
                std::isdigit(short_version[3]));
    const std::string build_level = field_text(image.build_level, sizeof image.build_level);
    EXPECT_EQ(build_level.size(), 16u);
    EXPECT_EQ(build_level.rfind(short_version, 0), 0u);
    EXPECT_EQ(field_text(image.build_date, sizeof image.build_date).size(), 11u);

    ASSERT_NE(image.notice, nullptr);
    EXPECT_EQ(std::strchr(image.notice, '\n'), nullptr);
    EXPECT_NE(std::string(image.notice).find("Copyright"), std::string::npos);
}

TEST_F(ModuleTest, DescriptorListHoldsOneModuleThenNull)
{
    const ModuleDescriptor* const* list = module.image().descriptors;
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list[0], nullptr);
    EXPECT_EQ(list[1], nullptr);
    ASSERT_EQ(module.descriptors().size(), 1u);
    const ModuleDescriptor& d = *list[0];
    EXPECT_EQ(field_text(d.name, sizeof d.name), "cvmodule");
    EXPECT_EQ(d.host_word0, 0);
    EXPECT_EQ(d.host_word2, 0xFFFF);
    EXPECT_EQ(d.host_word4, 1024u);
    EXPECT_EQ(d.host_word8, 1024u);
    EXPECT_EQ(d.host_word32, 1u);
    EXPECT_EQ(d.host_word36, 9683u);
    const unsigned char last[8] = {0xE0, 0xB8, 0x13, 0x20, 0x0F, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&d.host_word40, last, 8), 0);
    EXPECT_NE(d.query, nullptr);
}

TEST_F(ModuleTest, EveryMainCallReturnsTheSameBlock)
{
    const ImageInformation* first = module.main_entry()(host.context(), 0);
    const ImageInformation* second = module.main_entry()(host.context(), 0xFFFFFFFFFFFFFFFFu);
    EXPECT_EQ(first, &module.image());
    EXPECT_EQ(second, first);
}

// -- The loader's errors ------------------------------------------------------

class LoaderErrors : public ::testing::Test {
protected:
    standin::HostEnvironment host;
    std::filesystem::path scratch = std::filesystem::temp_directory_path() / "cvmodule-loader-test";

    void SetUp() override { std::filesystem::create_directories(scratch); }
    void TearDown() override { std::filesystem::remove_all(scratch); }

    // The message of the LoadError that loading `path` throws.
    std::string load_error(const std::filesystem::path& path)
    {
        try {
            standin::Module loaded(host, path);
        } catch (const standin::LoadError& e) {
            return e.what();
        }
        ADD_FAILURE() << "loading " << path << " succeeded";
        return {};
    }
};

TEST_F(LoaderErrors, MissingFileIsNamed)
{
    const auto path = scratch / "absent.so";
    const std::string message = load_error(path);
    EXPECT_NE(message.find("cannot load module '" + path.string() + "'"), std::string::npos) << message;
}

TEST_F(LoaderErrors, FileThatIsNotALibraryIsNamed)
{
    const auto path = scratch / "text.so";
    std::ofstream(path) << "not a library\n";
    const std::string message = load_error(path);
    EXPECT_NE(message.find("cannot load module '" + path.string() + "'"), std::string::npos) << message;
}

TEST_F(LoaderErrors, LibrariesThatAreNotModulesAreRefused)
{
    struct Case {
        const char* library;
        std::string reason;
    };
    const Case cases[] = {
        {FAKE_PLAIN, "is not a function module: it does not export mcn_main"},
        {FAKE_NO_VERSION, "is not a function module: it does not export tkvercn1"},
        {FAKE_BAD_MARKER, "the image information has the wrong marker 'ZMT_Image_Informatiom='"},
        {FAKE_BAD_MAGIC, "the image information has the wrong magic 0xDEADBEEF"},
    };
    for (const Case& c : cases) {
        const std::string message = load_error(c.library);
        EXPECT_NE(message.find(std::string("'") + c.library + "'"), std::string::npos) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
}

}  // namespace
