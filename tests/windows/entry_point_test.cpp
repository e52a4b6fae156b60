// The library entry point, which the Windows loader calls on process and
// thread attach and detach: it answers TRUE for every reason and does
// nothing else, so no byte of the module's writable data changes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

namespace {

using LibraryEntry = BOOL(WINAPI*)(HINSTANCE instance, DWORD reason, LPVOID reserved);

class LoadedLibrary {
public:
    LoadedLibrary() : module_(LoadLibraryA(CVMODULE_PATH)) {}
    ~LoadedLibrary()
    {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    HMODULE handle() const { return module_; }
    const unsigned char* base() const { return reinterpret_cast<const unsigned char*>(module_); }

    const IMAGE_NT_HEADERS64& headers() const
    {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base());
        return *reinterpret_cast<const IMAGE_NT_HEADERS64*>(base() + dos->e_lfanew);
    }

    LibraryEntry entry() const
    {
        return reinterpret_cast<LibraryEntry>(
            reinterpret_cast<UINT_PTR>(base() + headers().OptionalHeader.AddressOfEntryPoint));
    }

    // A copy of every writable section as mapped: the module's variables.
    using Snapshot = std::vector<std::pair<std::string, std::vector<unsigned char>>>;
    Snapshot writable_data() const
    {
        Snapshot copy;
        const auto* section = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
            reinterpret_cast<const unsigned char*>(&headers().OptionalHeader) + headers().FileHeader.SizeOfOptionalHeader);
        for (WORD i = 0; i < headers().FileHeader.NumberOfSections; ++i, ++section) {
            if ((section->Characteristics & IMAGE_SCN_MEM_WRITE) != 0) {
                const unsigned char* start = base() + section->VirtualAddress;
                copy.emplace_back(std::string(reinterpret_cast<const char*>(section->Name),
                                              strnlen(reinterpret_cast<const char*>(section->Name), 8)),
                                  std::vector<unsigned char>(start, start + section->Misc.VirtualSize));
            }
        }
        return copy;
    }

private:
    HMODULE module_;
};

// Where two snapshots first differ, or empty when they are the same.
std::string first_change(const LoadedLibrary::Snapshot& before, const LoadedLibrary::Snapshot& after)
{
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        const auto& [name, bytes] = before[i];
        const auto& now = after[i].second;
        for (std::size_t at = 0; at < bytes.size() && at < now.size(); ++at) {
            if (bytes[at] != now[at]) {
                return "section " + name + " changed at offset " + std::to_string(at);
            }
        }
    }
    return before.size() == after.size() ? "" : "sections changed";
}

struct Notification {
    const char* name;
    DWORD reason;
    bool static_load;  // the loader passes a non-null reserved pointer then
};

void PrintTo(const Notification& n, std::ostream* out)
{
    *out << n.name;
}

class EntryPointTest : public ::testing::TestWithParam<Notification> {
protected:
    LoadedLibrary library;
};

TEST_P(EntryPointTest, ReturnsTrueAndWritesNothing)
{
    ASSERT_NE(library.handle(), nullptr) << "LoadLibrary failed, error " << GetLastError();
    const Notification& n = GetParam();
    int context = 0;

    const auto before = library.writable_data();
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(library.entry()(library.handle(), n.reason, n.static_load ? &context : nullptr), TRUE);
    EXPECT_EQ(first_change(before, library.writable_data()), "");
}

INSTANTIATE_TEST_SUITE_P(
    EveryReason, EntryPointTest,
    ::testing::Values(Notification{"ProcessAttach", DLL_PROCESS_ATTACH, false},
                      Notification{"ProcessAttachStatic", DLL_PROCESS_ATTACH, true},
                      Notification{"ThreadAttach", DLL_THREAD_ATTACH, false},
                      Notification{"ThreadDetach", DLL_THREAD_DETACH, false},
                      Notification{"ProcessDetach", DLL_PROCESS_DETACH, false},
                      Notification{"ProcessDetachAtExit", DLL_PROCESS_DETACH, true}),
    [](const ::testing::TestParamInfo<Notification>& p) { return std::string(p.param.name); });

TEST(EntryPoint, LoaderNotificationsLeaveTheModuleUnchanged)
{
    // Loading succeeds only if the entry answered TRUE to process attach; a
    // thread's start and end bring thread attach and detach.
    LoadedLibrary library;
    ASSERT_NE(library.handle(), nullptr) << "LoadLibrary failed, error " << GetLastError();
    const auto before = library.writable_data();
    std::thread([] {}).join();
    EXPECT_EQ(first_change(before, library.writable_data()), "");
}

}  // namespace
