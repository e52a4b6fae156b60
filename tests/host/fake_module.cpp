// Libraries that are not proper function modules, for the loader's error
// paths. Built once per variant:
//   FAKE_PLAIN        exports neither entry
//   FAKE_NO_VERSION   exports mcn_main only
//   FAKE_BAD_MARKER   both entries, the image information's marker is wrong
//   FAKE_BAD_MAGIC    both entries, the magic is wrong
// and modules whose records promise what they do not hold:
//   FAKE_NULL_ENTRY       a function whose entry is null
//   FAKE_HUGE_COUNT       a names record counting 0x7fffffff functions
//   FAKE_ENDLESS_LIST     a descriptor list without its null entry
//   FAKE_INTEGER_VERSION  an integer in a version text slot
//   FAKE_WILD_NAMES       a names record at an address nobody gave it
//   FAKE_SHORT_ENTRIES    an entries record from the host too small for its count
// and a plain library whose initializer never returns well (Linux only):
//   FAKE_CRASHING_INIT    ends the process with SIGSEGV
//   FAKE_EXITING_INIT     exits 127, as the system loader does on a fault
//   FAKE_ENDLESS_INIT     runs for ever
#include <array>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "host/host_toolkit.h"

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#if defined(FAKE_CRASHING_INIT) || defined(FAKE_EXITING_INIT) || defined(FAKE_ENDLESS_INIT)
#define FAKE_PLAIN
namespace {
[[gnu::constructor]] void start()
{
#if defined(FAKE_CRASHING_INIT)
    std::raise(SIGSEGV);
#elif defined(FAKE_EXITING_INIT)
    std::_Exit(127);
#else
    volatile bool forever = true;
    while (forever) {
    }
#endif
}
}  // namespace
#endif

#if defined(FAKE_PLAIN)

FAKE_EXPORT int fake_answer()
{
    return 42;
}

#else

namespace {

#if defined(FAKE_NULL_ENTRY) || defined(FAKE_HUGE_COUNT) || defined(FAKE_ENDLESS_LIST) || \
    defined(FAKE_WILD_NAMES) || defined(FAKE_SHORT_ENTRIES)
#define FAKE_REGISTERS

const HostContext* host = nullptr;

std::int32_t fake_function(CallFrame* /*frame*/, double* result)
{
    *result = 1.0;
    return 0;
}

constexpr FunctionDefinition definitions[2] = {{.name = "FAKE", .min_args = 1, .max_args = 1},
                                               {.name = "FAKE2", .min_args = 1, .max_args = 1}};
#if defined(FAKE_HUGE_COUNT)
constexpr FunctionNamesRecord names = {.count = 0x7fffffff, .functions = definitions};
#elif defined(FAKE_SHORT_ENTRIES)
constexpr FunctionNamesRecord names = {.count = 2, .functions = definitions};
#else
constexpr FunctionNamesRecord names = {.count = 1, .functions = definitions};
#endif
#if defined(FAKE_NULL_ENTRY)
constexpr FunctionEntriesRecord entries = {.entries = {nullptr}};
#else
constexpr FunctionEntriesRecord entries = {.entries = {fake_function}};
#endif

void* fake_query(std::int32_t request)
{
#if defined(FAKE_WILD_NAMES)
    if (request == REQUEST_FUNCTION_NAMES) {
        return reinterpret_cast<void*>(std::uintptr_t{0x1000});
    }
#elif defined(FAKE_SHORT_ENTRIES)
    if (request == REQUEST_FUNCTION_ENTRIES) {
        auto* record = static_cast<FunctionEntriesRecord*>(
            host->allocator->allocate(host->allocator, function_entries_record_size(1), RECORD_ALLOC_FLAGS));
        record->entries[0] = fake_function;
        return record;
    }
#endif
    return const_cast<void*>(request == REQUEST_FUNCTION_NAMES ? static_cast<const void*>(&names)
                                                               : static_cast<const void*>(&entries));
}

constexpr ModuleDescriptor descriptor = {.name = "fake", .query = fake_query};
#endif

#if defined(FAKE_ENDLESS_LIST)
// Descriptors on and on, never a null entry.
template <std::size_t... I>
constexpr std::array<const ModuleDescriptor*, sizeof...(I)> endless(std::index_sequence<I...>)
{
    return {((void)I, &descriptor)...};
}
constexpr auto no_descriptors = endless(std::make_index_sequence<200>());
#elif defined(FAKE_REGISTERS)
constexpr const ModuleDescriptor* no_descriptors[] = {&descriptor, nullptr};
#else
constexpr const ModuleDescriptor* no_descriptors[] = {nullptr};
#endif

constexpr ImageInformation image = {
#if defined(FAKE_BAD_MARKER)
    .marker = "ZMT_Image_Informatiom=",
#else
    .marker = "ZMT_Image_Information=",
#endif
#if defined(FAKE_BAD_MAGIC)
    .magic = 0xDEADBEEF,
#else
    .magic = IMAGE_INFORMATION_MAGIC,
#endif
    .image_code = IMAGE_CODE,
    .short_version = "0.00",
    .build_level = "0.00.00M0P010170",
    .build_date = "Jan  1 1970",
#if defined(FAKE_ENDLESS_LIST)
    .descriptors = no_descriptors.data(),
#else
    .descriptors = no_descriptors,
#endif
    .notice = "fake",
    .image_revision = "001",
};

}  // namespace

FAKE_EXPORT const ImageInformation* mcn_main([[maybe_unused]] const HostContext* context, std::uint64_t /*value*/)
{
#if defined(FAKE_REGISTERS)
    host = context;
#endif
    return &image;
}

#if !defined(FAKE_NO_VERSION)
FAKE_EXPORT std::int32_t tkvercn1(std::uint64_t* slots)
{
    for (int i = 0; i < VERSION_RECORD_SLOTS; ++i) {
        slots[i] = 0;
    }
#if defined(FAKE_INTEGER_VERSION)
    slots[0] = 12345;
#endif
    return 0;
}
#endif

#endif
