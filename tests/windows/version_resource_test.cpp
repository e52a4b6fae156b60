// cvmodule.dll's version resource: its fixed numbers, its one string table
// (language 0, code page 0) with exactly the expected keys, its translation,
// and agreement with the build values the module reports through tkvercn1
// and its ImageInformation.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "module_fixture.h"

namespace {

// One node of a VS_VERSIONINFO tree: a key, a value (text or bytes) and
// children. Every node starts on a 32-bit boundary: length, value length,
// type (1 text, 0 binary), the key as NUL-terminated UTF-16, padding, the
// value, padding, the children.
struct VersionNode {
    std::wstring key;
    bool is_text = false;
    std::wstring text;
    std::vector<std::uint8_t> bytes;
    std::vector<VersionNode> children;

    const VersionNode& child(const std::wstring& name) const
    {
        for (const VersionNode& c : children) {
            if (c.key == name) {
                return c;
            }
        }
        throw std::runtime_error("version resource has no block '" + std::string(name.begin(), name.end()) + "'");
    }
};

std::size_t align4(std::size_t offset)
{
    return (offset + 3) & ~std::size_t{3};
}

VersionNode parse_node(const std::uint8_t* block, std::size_t start, std::size_t limit)
{
    auto word = [&](std::size_t at) {
        if (at + 2 > limit) {
            throw std::runtime_error("version resource node runs past its parent");
        }
        std::uint16_t w;
        std::memcpy(&w, block + at, 2);
        return w;
    };
    const std::size_t length = word(start);
    const std::size_t value_length = word(start + 2);
    VersionNode node;
    node.is_text = word(start + 4) == 1;
    const std::size_t end = start + length;
    if (length < 6 || end > limit) {
        throw std::runtime_error("version resource node has a bad length");
    }

    std::size_t at = start + 6;
    for (std::uint16_t c; (c = word(at)) != 0; at += 2) {
        node.key += static_cast<wchar_t>(c);
    }
    at = align4(at + 2);

    if (node.is_text) {  // value length counts UTF-16 units, the NUL included
        for (std::size_t i = 0; i < value_length; ++i) {
            node.text += static_cast<wchar_t>(word(at + 2 * i));
        }
        while (!node.text.empty() && node.text.back() == L'\0') {
            node.text.pop_back();
        }
        at = align4(at + 2 * value_length);
    } else {
        if (at + value_length > end) {
            throw std::runtime_error("version resource value runs past its node");
        }
        node.bytes.assign(block + at, block + at + value_length);
        at = align4(at + value_length);
    }

    while (at < end) {
        VersionNode child = parse_node(block, at, end);
        std::uint16_t child_length;
        std::memcpy(&child_length, block + at, 2);
        node.children.push_back(std::move(child));
        at = align4(at + child_length);
    }
    return node;
}

std::wstring dotted(std::initializer_list<unsigned> numbers)
{
    std::wstring text;
    for (unsigned n : numbers) {
        text += (text.empty() ? L"" : L".") + std::to_wstring(n);
    }
    return text;
}

class VersionResourceTest : public ModuleTest {
protected:
    void SetUp() override
    {
        const std::wstring path = std::filesystem::path(CVMODULE_PATH).wstring();
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
        ASSERT_NE(size, 0u) << "no version resource, error " << GetLastError();
        data.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
        root = parse_node(data.data(), 0, data.size());
    }

    VS_FIXEDFILEINFO fixed() const
    {
        VS_FIXEDFILEINFO info{};
        EXPECT_EQ(root.bytes.size(), sizeof info);
        std::memcpy(&info, root.bytes.data(), std::min(root.bytes.size(), sizeof info));
        return info;
    }

    // The build time the module reports in VersionRecord slot 3.
    std::uint64_t build_time() const { return module.version_record()[VERSION_SLOT_BUILD_TIME]; }

    // Major and minor version as the module's ImageInformation gives them
    // ("d.dd").
    std::pair<unsigned, unsigned> short_version() const
    {
        unsigned major = 0;
        unsigned minor = 0;
        const std::string text = standin::field_text(module.image().short_version, sizeof module.image().short_version);
        EXPECT_EQ(std::sscanf(text.c_str(), "%u.%u", &major, &minor), 2) << text;
        return {major, minor};
    }

    std::vector<std::uint8_t> data;
    VersionNode root;
};

// --- Fixed part ---------------------------------------------------------------

TEST_F(VersionResourceTest, FixedPartIsThatOfADll)
{
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    const VS_FIXEDFILEINFO info = fixed();
    EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info.dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(info.dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(info.dwFileFlags & info.dwFileFlagsMask, 0u);
}

TEST_F(VersionResourceTest, FileVersionIsReleaseThenBuildTimeHalves)
{
    const auto [major, minor] = short_version();
    const std::uint64_t seconds = build_time();
    const VS_FIXEDFILEINFO info = fixed();
    EXPECT_EQ(HIWORD(info.dwFileVersionMS), major);
    EXPECT_EQ(LOWORD(info.dwFileVersionMS), minor);
    EXPECT_EQ(HIWORD(info.dwFileVersionLS), (seconds >> 16) & 0xFFFF);
    EXPECT_EQ(LOWORD(info.dwFileVersionLS), seconds & 0xFFFF);
    EXPECT_EQ(info.dwProductVersionMS, info.dwFileVersionMS);
}

// --- Strings ------------------------------------------------------------------

TEST_F(VersionResourceTest, HasOneStringTableForLanguageZeroCodePageZero)
{
    const VersionNode& strings = root.child(L"StringFileInfo");
    ASSERT_EQ(strings.children.size(), 1u);
    EXPECT_EQ(strings.children[0].key, L"00000000");
}

TEST_F(VersionResourceTest, StringTableHoldsExactlyTheExpectedValues)
{
    const auto [major, minor] = short_version();
    const std::uint64_t seconds = build_time();
    const std::wstring file_version = dotted({major, minor, static_cast<unsigned>((seconds >> 16) & 0xFFFF),
                                              static_cast<unsigned>(seconds & 0xFFFF)});
    const std::wstring product_version = dotted({major, minor});

    std::map<std::wstring, std::wstring> actual;
    for (const VersionNode& value : root.child(L"StringFileInfo").child(L"00000000").children) {
        EXPECT_TRUE(value.is_text) << std::string(value.key.begin(), value.key.end());
        EXPECT_TRUE(value.children.empty());
        actual[value.key] = value.text;
    }

    // Values the build fixes; the free-text ones only need to be there.
    const std::map<std::wstring, std::wstring> fixed_values = {
        {L"FileVersion", file_version},
        {L"InternalName", L"cvmodule"},
        {L"LegalCopyright", L""},
        {L"OriginalFilename", L"cvmodule.dll"},
        {L"ProductVersion", product_version},
    };
    const std::wstring free_text[] = {L"CompanyName", L"FileDescription", L"ProductName"};

    EXPECT_EQ(actual.size(), fixed_values.size() + std::size(free_text));
    for (const auto& [key, value] : fixed_values) {
        SCOPED_TRACE(std::string(key.begin(), key.end()));
        ASSERT_EQ(actual.count(key), 1u);
        EXPECT_EQ(actual[key], value);
    }
    for (const std::wstring& key : free_text) {
        SCOPED_TRACE(std::string(key.begin(), key.end()));
        ASSERT_EQ(actual.count(key), 1u);
        EXPECT_FALSE(actual[key].empty());
    }
}

TEST_F(VersionResourceTest, FileVersionBeginsWithProductVersion)
{
    const VersionNode& table = root.child(L"StringFileInfo").child(L"00000000");
    const std::wstring file_version = table.child(L"FileVersion").text;
    const std::wstring product_version = table.child(L"ProductVersion").text;
    EXPECT_EQ(file_version.rfind(product_version + L".", 0), 0u) << std::string(file_version.begin(), file_version.end());
}

TEST_F(VersionResourceTest, WindowsFindsTheValuesThroughTheTranslation)
{
    // VerQueryValue looks a string up under the language and code page that
    // the translation names; this is how Explorer and installers read it.
    WORD* translation = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &size));
    ASSERT_EQ(size, 2 * sizeof(WORD));

    struct Query {
        const wchar_t* key;
        std::wstring expected;
    };
    for (const Query& q : {Query{L"InternalName", L"cvmodule"}, Query{L"OriginalFilename", L"cvmodule.dll"}}) {
        SCOPED_TRACE(std::string(q.key, q.key + std::wcslen(q.key)));
        wchar_t path[64];
        std::swprintf(path, std::size(path), L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1], q.key);
        wchar_t* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(data.data(), path, reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::wstring(value), q.expected);
    }
}

// --- Translation --------------------------------------------------------------

TEST_F(VersionResourceTest, TranslationIsLanguageZeroCodePageZero)
{
    const VersionNode& translation = root.child(L"VarFileInfo").child(L"Translation");
    const std::vector<std::uint8_t> expected = {0, 0, 0, 0};
    EXPECT_FALSE(translation.is_text);
    EXPECT_EQ(translation.bytes, expected);
}

}  // namespace
