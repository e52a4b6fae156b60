// Resolving the two exports by ordinal, as a host may: ordinal 1 is
// mcn_main and ordinal 2 is tkvercn1, and the entries found that way behave
// as the ones found by name.
#include <gtest/gtest.h>

#include <cstring>

#include "module_fixture.h"
#include "standin/dynamic_library.h"

namespace {

TEST_F(ModuleTest, OrdinalsResolveToTheNamedEntries)
{
    struct Case {
        int ordinal;
        const char* name;
    };
    const standin::DynamicLibrary& library = module.library();
    for (const Case& c : {Case{1, "mcn_main"}, Case{2, "tkvercn1"}}) {
        SCOPED_TRACE(c.name);
        void* by_ordinal = library.find(c.ordinal);
        ASSERT_NE(by_ordinal, nullptr);
        EXPECT_EQ(by_ordinal, library.find(c.name));
    }
}

TEST_F(ModuleTest, NoOtherOrdinalResolves)
{
    const standin::DynamicLibrary& library = module.library();
    for (int ordinal : {3, 4, 100, 0xFFFF}) {
        EXPECT_EQ(library.find(ordinal), nullptr) << "ordinal " << ordinal;
    }
}

TEST_F(ModuleTest, MainEntryByOrdinalReturnsTheImageInformation)
{
    const auto main = reinterpret_cast<standin::MainEntry>(module.library().find(1));
    ASSERT_NE(main, nullptr);
    const ImageInformation* image = main(host.context(), 0);
    EXPECT_EQ(image, &module.image());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(std::memcmp(image->marker, IMAGE_MARKER, sizeof IMAGE_MARKER), 0);
}

TEST_F(ModuleTest, VersionEntryByOrdinalCopiesTheVersionRecord)
{
    const auto version = reinterpret_cast<standin::VersionEntry>(module.library().find(2));
    ASSERT_NE(version, nullptr);
    standin::VersionRecordSlots slots{};
    slots.fill(0xA5A5A5A5A5A5A5A5u);
    EXPECT_EQ(version(slots.data()), 0);
    EXPECT_EQ(slots, module.version_record());
}

}  // namespace
