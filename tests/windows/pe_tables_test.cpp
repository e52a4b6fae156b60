// cvmodule.dll as a file: its export table, import table and header, read
// from disk as a linker would see them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "pe_file.h"

namespace {

const pe::Image& module_image()
{
    static const pe::Image image = pe::read_image(CVMODULE_PATH);
    return image;
}

const pe::Section* section_of(std::uint32_t rva)
{
    for (const pe::Section& s : module_image().sections) {
        if (rva >= s.rva && rva - s.rva < s.size) {
            return &s;
        }
    }
    return nullptr;
}

bool is_code(std::uint32_t rva)
{
    const pe::Section* s = section_of(rva);
    return s != nullptr && (s->characteristics & IMAGE_SCN_MEM_EXECUTE) != 0;
}

std::string lower(std::string text)
{
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// DLLs that every 64-bit Windows has: the kernel, the system C runtime and
// the universal C runtime's API sets.
bool is_system_dll(const std::string& name)
{
    const std::string n = lower(name);
    return n == "kernel32.dll" || n == "msvcrt.dll" || n.starts_with("api-ms-win-crt-");
}

// --- Exports ----------------------------------------------------------------

TEST(ExportTable, HoldsExactlyTheTwoEntriesByNameAndOrdinal)
{
    struct Expected {
        std::uint32_t ordinal;
        const char* name;
    };
    const Expected expected[] = {{1, "mcn_main"}, {2, "tkvercn1"}};

    const pe::Image& image = module_image();
    EXPECT_EQ(image.ordinal_base, 1u);
    ASSERT_EQ(image.exports.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(image.exports[i].ordinal, expected[i].ordinal);
        EXPECT_EQ(image.exports[i].name, expected[i].name);
        EXPECT_TRUE(is_code(image.exports[i].rva)) << "export at RVA " << image.exports[i].rva << " is not code";
    }
    EXPECT_NE(image.exports[0].rva, image.exports[1].rva);
}

TEST(ExportTable, NamesTheLibraryCvmoduleDll)
{
    EXPECT_EQ(module_image().export_name, "cvmodule.dll");
}

// --- Imports ----------------------------------------------------------------

TEST(ImportTable, NamesOnlySystemDlls)
{
    for (const std::string& dll : module_image().imported_dlls) {
        EXPECT_TRUE(is_system_dll(dll)) << "imports " << dll;
    }
    EXPECT_FALSE(module_image().has_delay_imports);
}

TEST(ImportTable, SystemDllCheckRejectsRuntimeLibraries)
{
    // The runtimes that a default MinGW-w64 link would pull in as DLLs.
    for (const char* dll : {"libgcc_s_seh-1.dll", "libstdc++-6.dll", "libwinpthread-1.dll", "ucrtbased.dll"}) {
        EXPECT_FALSE(is_system_dll(dll)) << dll;
    }
    for (const char* dll : {"KERNEL32.dll", "msvcrt.dll", "api-ms-win-crt-math-l1-1-0.dll"}) {
        EXPECT_TRUE(is_system_dll(dll)) << dll;
    }
}

// --- Header -----------------------------------------------------------------

TEST(ImageHeader, IsA64BitDll)
{
    EXPECT_EQ(module_image().machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_NE(module_image().characteristics & IMAGE_FILE_DLL, 0);
}

TEST(ImageHeader, HasItsEntryPointInCodeAndNoTlsCallbacks)
{
    // Thread-local storage callbacks would run at load beside the entry
    // point; the module has none.
    EXPECT_TRUE(is_code(module_image().entry_rva)) << "entry point RVA " << module_image().entry_rva;
    EXPECT_FALSE(module_image().has_tls_directory);
}

TEST(ImageHeader, CarriesNoTimeStamp)
{
    // Left out so that the same sources and build time give the same bytes.
    EXPECT_EQ(module_image().time_stamp, 0u);
}

}  // namespace
