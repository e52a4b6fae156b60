// What the host learns of a module when it loads it, as named fields: the
// file, the image information, the version record and the registered
// functions, in that order.
#ifndef CORE_MODULE_FIELDS_H
#define CORE_MODULE_FIELDS_H

#include <string>
#include <vector>

#include "standin/module.h"

namespace core {

struct ModuleField {
    enum class Part { file, image, version, function };
    enum class Kind { number, text, null };

    Part part;
    std::string name;   // "module", "marker", ..., "descriptor", "version 0", ..., "function"
    std::string value;  // a version slot's text, or "null"
    Kind kind = Kind::text;
};

// Throws standin::LoadError when a handler answers null.
std::vector<ModuleField> module_fields(standin::Module& module);

}  // namespace core

#endif
