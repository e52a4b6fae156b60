#include "library_location.h"

#include <stdexcept>

#include "platform/own_location.h"
#include "core/ljungcv.h"

namespace cvhost_kit {

namespace {

// Any address inside this library names it.
void anchor() {}

// Found while the library is being loaded, when a relative name the loader
// used still means what it meant then: a later change of the working
// directory does not move the module.
const std::filesystem::path loaded_from = platform::file_holding(reinterpret_cast<const void*>(&anchor));

}  // namespace

std::filesystem::path installed_module_path()
{
    // Never the bare file name, which the loader would look up anywhere.
    if (loaded_from.empty()) {
        throw std::runtime_error("cannot tell where libcvhost was loaded from: give the module's path");
    }
    return core::module_beside_library(loaded_from);
}

}  // namespace cvhost_kit
