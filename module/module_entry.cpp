// The module's two exported entries and the static records they hand out.
//
// mcn_main keeps the host's context and returns the ImageInformation, through
// which the host finds the ModuleDescriptor; tkvercn1 copies the
// VersionRecord. Both records are constant data fixed at build time.
#include <cstring>

#include "module/build_info.h"
#include "host_services.h"
#include "host/host_toolkit.h"
#include "module_export.h"
#include "registration.h"

namespace {

constexpr const ModuleDescriptor* descriptor_list[] = {
    &MODULE_DESCRIPTOR,
    nullptr,
};

constexpr char COPYRIGHT_NOTICE[] =
    "Copyright (c) 2026 the cvmodule developers. All rights reserved.";

constexpr ImageInformation image_information = {
    .marker = "ZMT_Image_Information=",
    .magic = IMAGE_INFORMATION_MAGIC,
    .image_code = IMAGE_CODE,
    .short_version = CVMODULE_SHORT_VERSION,
    .build_level = CVMODULE_BUILD_LEVEL,
    .build_date = CVMODULE_BUILD_DATE,
    .descriptors = descriptor_list,
    .notice = COPYRIGHT_NOTICE,
    .image_revision = "001",
};

// Slots 12 and 14 keep their blanks after the '=': 65 characters each.
constexpr char HOTFIX_MARKER[] =
    "ZMT_VERSION_HOTFIX_NUMBER=                                       ";
constexpr char DESCRIPTION_MARKER[] =
    "VERCON_IMAGE_DESCRIPTION=                                        ";
static_assert(sizeof(HOTFIX_MARKER) == 65 + 1);
static_assert(sizeof(DESCRIPTION_MARKER) == 65 + 1);

constexpr VersionSlot version_record[VERSION_RECORD_SLOTS] = {
    {.text = CVMODULE_RELEASE},           //  0: release text, 18 characters
    {.text = CVMODULE_SOURCE_PATH},       //  1: source-tree path
    {.text = ""},                         //  2
    {.integer = CVMODULE_BUILD_TIME},     //  3: seconds since 1970, UTC
    {.text = "qtz"},                      //  4: product-component code
    {.text = "CV100B01"},                 //  5: build identifier, 8 characters
    {.text = "qtz"},                      //  6
    {.text = "cvmodule 1.00.00.00"},      //  7: identifier, 19 characters
    {.text = ""},                         //  8
    {.text = "version"},                  //  9
    {.text = "::"},                       // 10
    {.text = ""},                         // 11
    {.text = HOTFIX_MARKER},              // 12
    {.text = "cvmodule-ljungcv-001"},     // 13: identifier, 20 characters
    {.text = DESCRIPTION_MARKER},         // 14
    {.text = CVMODULE_PLATFORM},          // 15: platform code, 5 characters
    {.text = CVMODULE_BUILD_STAMP},       // 16: the moment of slot 3, 28 characters
    // 17 to 25: null
};

}  // namespace

CVMODULE_EXPORT const ImageInformation* mcn_main(const HostContext* context, std::uint64_t /*unused*/)
{
    set_host_context(context);
    return &image_information;
}

CVMODULE_EXPORT std::int32_t tkvercn1(std::uint64_t* slots)
{
    std::memcpy(slots, version_record, sizeof(version_record));
    return 0;
}
