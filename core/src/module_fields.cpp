#include "core/module_fields.h"

#include <cstdint>
#include <cstdio>

#include "platform/utc_time.h"

namespace core {

std::vector<ModuleField> module_fields(standin::Module& module)
{
    using Part = ModuleField::Part;
    using Kind = ModuleField::Kind;
    using standin::field_text;
    const ImageInformation& image = module.image();
    std::vector<ModuleField> fields;
    const auto add = [&fields](Part part, std::string name, std::string value, Kind kind = Kind::text) {
        fields.push_back({part, std::move(name), std::move(value), kind});
    };

    add(Part::file, "module", module.path().string());
    char magic[16];
    std::snprintf(magic, sizeof magic, "0x%08X", image.magic);
    add(Part::image, "marker", field_text(image.marker, sizeof image.marker));
    add(Part::image, "magic", magic, Kind::number);
    add(Part::image, "image code", std::to_string(image.image_code), Kind::number);
    add(Part::image, "short version", field_text(image.short_version, sizeof image.short_version));
    add(Part::image, "build level", field_text(image.build_level, sizeof image.build_level));
    add(Part::image, "build date", field_text(image.build_date, sizeof image.build_date));
    if (image.notice != nullptr) {
        add(Part::image, "notice", image.notice);
    } else {
        add(Part::image, "notice", "(none)", Kind::null);
    }
    add(Part::image, "image revision", field_text(image.image_revision, sizeof image.image_revision));
    for (const ModuleDescriptor* descriptor : module.descriptors()) {
        add(Part::image, "descriptor", field_text(descriptor->name, sizeof descriptor->name));
    }

    const standin::VersionRecordSlots slots = module.version_record();
    for (int i = 0; i < VERSION_RECORD_SLOTS; ++i) {
        const std::uint64_t slot = slots[static_cast<std::size_t>(i)];
        std::string name = "version " + std::to_string(i);
        if (i == VERSION_SLOT_BUILD_TIME) {
            add(Part::version, std::move(name), std::to_string(slot) + " (" + platform::utc_text(slot) + ")",
                Kind::number);
        } else if (slot == 0) {
            add(Part::version, std::move(name), "null", Kind::null);
        } else {
            // A text slot holds the address of the module's text.
            add(Part::version, std::move(name), reinterpret_cast<const char*>(slot));  // NOLINT(performance-no-int-to-ptr)
        }
    }

    for (const standin::RegisteredFunction& function : module.functions()) {
        add(Part::function, "function",
            function.name + " " + std::to_string(function.min_args) + " to " + std::to_string(function.max_args) +
                " arguments (module " + function.module + ")");
    }
    return fields;
}

}  // namespace core
