// The VersionRecord as tkvercn1 hands it to the host.
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "module_fixture.h"

namespace {

constexpr std::uint64_t SENTINEL = 0x5E5E5E5E5E5E5E5Eu;

std::string slot_text(std::uint64_t slot)
{
    return reinterpret_cast<const char*>(slot);
}

TEST_F(ModuleTest, VersionEntryWritesExactly26Slots)
{
    std::uint64_t buffer[VERSION_RECORD_SLOTS + 4];
    std::fill(std::begin(buffer), std::end(buffer), SENTINEL);
    EXPECT_EQ(module.version_entry()(buffer), 0);
    for (int i = 0; i < VERSION_RECORD_SLOTS; ++i) {
        EXPECT_NE(buffer[i], SENTINEL) << "slot " << i;
    }
    for (int i = VERSION_RECORD_SLOTS; i < VERSION_RECORD_SLOTS + 4; ++i) {
        EXPECT_EQ(buffer[i], SENTINEL) << "slot " << i << " is past the record";
    }
}

TEST_F(ModuleTest, VersionSlotsHoldTheirTexts)
{
    const standin::VersionRecordSlots slots = module.version_record();
    for (int i = VERSION_SLOT_FIRST_NULL; i < VERSION_RECORD_SLOTS; ++i) {
        EXPECT_EQ(slots[i], 0u) << "slot " << i;
    }

    struct Fixed {
        int slot;
        const char* text;
    };
    for (const Fixed f : {Fixed{2, ""}, Fixed{4, "qtz"}, Fixed{6, "qtz"}, Fixed{8, ""}, Fixed{9, "version"},
                          Fixed{10, "::"}, Fixed{11, ""}}) {
        EXPECT_EQ(slot_text(slots[f.slot]), f.text) << "slot " << f.slot;
    }

    struct Width {
        int slot;
        std::size_t length;
    };
    for (const Width w : {Width{0, 18}, Width{5, 8}, Width{7, 19}, Width{12, 65}, Width{13, 20}, Width{14, 65},
                          Width{15, 5}, Width{16, 28}}) {
        EXPECT_EQ(slot_text(slots[w.slot]).size(), w.length) << "slot " << w.slot;
    }
    EXPECT_FALSE(slot_text(slots[1]).empty());

    // The markers end at '=' and the rest is blank.
    struct Marker {
        int slot;
        std::string marker;
    };
    for (const Marker& m : {Marker{12, "ZMT_VERSION_HOTFIX_NUMBER="}, Marker{14, "VERCON_IMAGE_DESCRIPTION="}}) {
        const std::string text = slot_text(slots[m.slot]);
        EXPECT_EQ(text.substr(0, m.marker.size()), m.marker);
        EXPECT_EQ(text.substr(m.marker.size()), std::string(65 - m.marker.size(), ' '));
    }
}

TEST_F(ModuleTest, BuildTimeAndBuildStampAreTheSameMoment)
{
    const standin::VersionRecordSlots slots = module.version_record();
    const auto seconds = static_cast<std::time_t>(slots[VERSION_SLOT_BUILD_TIME]);
    EXPECT_GT(seconds, 946684800);  // an integer of this century, not an address

    // %d, then its leading zero as a blank: the C runtime on Windows has no %e.
    const std::tm parts = *std::gmtime(&seconds);
    char expected[64];
    std::strftime(expected, sizeof expected, "%a %b %d %H:%M:%S UTC %Y", &parts);
    expected[8] = expected[8] == '0' ? ' ' : expected[8];
    EXPECT_EQ(slot_text(slots[16]), expected);

    char date[32];
    std::strftime(date, sizeof date, "%b %d %Y", &parts);
    date[4] = date[4] == '0' ? ' ' : date[4];
    const ImageInformation& image = module.image();
    EXPECT_EQ(standin::field_text(image.build_date, sizeof image.build_date), date);
    EXPECT_EQ(slot_text(slots[0]).rfind(standin::field_text(image.short_version, sizeof image.short_version), 0),
              0u);
}

TEST(VersionRecord, IsAvailableWithoutMainEntry)
{
    // A copy under another name is a separate instance whose mcn_main has
    // never run.
    const auto copy = std::filesystem::temp_directory_path() / "cvmodule-version-copy.so";
    std::filesystem::copy_file(CVMODULE_PATH, copy, std::filesystem::copy_options::overwrite_existing);
    {
        standin::DynamicLibrary library(copy);
        auto version = reinterpret_cast<standin::VersionEntry>(library.find("tkvercn1"));
        ASSERT_NE(version, nullptr);
        std::uint64_t slots[VERSION_RECORD_SLOTS];
        std::fill(std::begin(slots), std::end(slots), SENTINEL);
        EXPECT_EQ(version(slots), 0);
        EXPECT_EQ(slot_text(slots[9]), "version");
        EXPECT_EQ(slots[25], 0u);
    }
    std::filesystem::remove(copy);
}

}  // namespace
