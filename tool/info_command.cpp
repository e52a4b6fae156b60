// ljungcv info: what the host learns of a module when it loads it, from the
// core's fields, under a heading per part.
#include <ostream>

#include <fmt/ostream.h>

#include "commands.h"
#include "core/module_fields.h"
#include "exit_codes.h"

namespace ljungcv {

int run_info(const std::filesystem::path& module_path, std::ostream& out, std::ostream& /*err*/)
{
    using Part = ModuleField::Part;
    ModuleSession session(module_path);
    Part part = Part::file;
    for (const ModuleField& field : module_fields(session)) {
        if (field.part != part) {
            part = field.part;
            fmt::print(out, "{}", part == Part::image ? "\nImage information\n" : part == Part::version ? "\nVersion record\n" : "");
        }
        switch (field.part) {
        case Part::file:
            fmt::print(out, "Module {}\n", field.value);
            break;
        case Part::image:
            // The image lists its descriptors by the module names they carry.
            fmt::print(out, "  {:<16}{}\n", field.name == "descriptor" ? "module" : field.name, field.value);
            break;
        case Part::version:
            fmt::print(out, "  {:>2}  {}\n", field.name.substr(field.name.find(' ') + 1),
                       field.kind == ModuleField::Kind::text ? "\"" + field.value + "\"" : field.value);
            break;
        case Part::function:
            break;  // below, with their argument counts
        }
    }
    fmt::print(out, "\nFunctions\n");
    for (const RegisteredFunction& function : session.functions()) {
        fmt::print(out, "  {}  {} to {} arguments  (module {})\n", function.name, function.min_args,
                   function.max_args, function.module);
    }
    return EXIT_VALUE;
}

}  // namespace ljungcv
