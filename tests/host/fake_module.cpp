// Libraries that are not proper function modules, for the loader's error
// paths. Built once per variant:
//   FAKE_PLAIN        exports neither entry
//   FAKE_NO_VERSION   exports mcn_main only
//   FAKE_BAD_MARKER   both entries, the image information's marker is wrong
//   FAKE_BAD_MAGIC    both entries, the magic is wrong
#include <cstdint>

#include "host/host_toolkit.h"

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#if defined(FAKE_PLAIN)

FAKE_EXPORT int fake_answer()
{
    return 42;
}

#else

namespace {

constexpr const ModuleDescriptor* no_descriptors[] = {nullptr};

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
    .descriptors = no_descriptors,
    .notice = "fake",
    .image_revision = "001",
};

}  // namespace

FAKE_EXPORT const ImageInformation* mcn_main(const HostContext* /*context*/, std::uint64_t /*value*/)
{
    return &image;
}

#if !defined(FAKE_NO_VERSION)
FAKE_EXPORT std::int32_t tkvercn1(std::uint64_t* slots)
{
    for (int i = 0; i < VERSION_RECORD_SLOTS; ++i) {
        slots[i] = 0;
    }
    return 0;
}
#endif

#endif
