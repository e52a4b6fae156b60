// ljungcv info: what the host learns of a module when it loads it.
#include <ostream>

#include <fmt/ostream.h>

#include "commands.h"
#include "exit_codes.h"
#include "module_session.h"
#include "platform/utc_time.h"

namespace ljungcv {

int run_info(const std::filesystem::path& module_path, std::ostream& out, std::ostream& /*err*/)
{
    ModuleSession session(module_path);
    standin::Module& module = session.module();
    const ImageInformation& image = module.image();
    using standin::field_text;

    fmt::print(out, "Module {}\n\n", module.path().string());
    fmt::print(out, "Image information\n");
    fmt::print(out, "  marker          {}\n", field_text(image.marker, sizeof image.marker));
    fmt::print(out, "  magic           0x{:08X}\n", image.magic);
    fmt::print(out, "  image code      {}\n", image.image_code);
    fmt::print(out, "  short version   {}\n", field_text(image.short_version, sizeof image.short_version));
    fmt::print(out, "  build level     {}\n", field_text(image.build_level, sizeof image.build_level));
    fmt::print(out, "  build date      {}\n", field_text(image.build_date, sizeof image.build_date));
    fmt::print(out, "  notice          {}\n", image.notice != nullptr ? image.notice : "(none)");
    fmt::print(out, "  image revision  {}\n", field_text(image.image_revision, sizeof image.image_revision));
    for (const ModuleDescriptor* descriptor : module.descriptors()) {
        fmt::print(out, "  module          {}\n", field_text(descriptor->name, sizeof descriptor->name));
    }

    fmt::print(out, "\nVersion record\n");
    const standin::VersionRecordSlots slots = module.version_record();
    for (int i = 0; i < VERSION_RECORD_SLOTS; ++i) {
        const std::uint64_t slot = slots[static_cast<std::size_t>(i)];
        if (i == VERSION_SLOT_BUILD_TIME) {
            fmt::print(out, "  {:2}  {} ({})\n", i, slot, platform::utc_text(slot));
        } else if (slot == 0) {
            fmt::print(out, "  {:2}  null\n", i);
        } else {
            // A text slot holds the address of the module's text.
            fmt::print(out, "  {:2}  \"{}\"\n", i, reinterpret_cast<const char*>(slot));  // NOLINT(performance-no-int-to-ptr)
        }
    }

    fmt::print(out, "\nFunctions\n");
    for (const standin::RegisteredFunction& function : module.functions()) {
        fmt::print(out, "  {}  {} to {} arguments  (module {})\n", function.name, function.min_args,
                   function.max_args, function.module);
    }
    return EXIT_VALUE;
}

}  // namespace ljungcv
