#include "module_locator.h"

#include "platform/own_location.h"
#include "standin/dynamic_library.h"
#include "standin/module_location.h"

namespace ljungcv {

std::filesystem::path default_module_path(const char* argv0)
{
    try {
        return standin::module_beside(platform::program_file(argv0).parent_path(), 1);
    } catch (const platform::LocationError& e) {
        throw standin::LoadError(e.what());
    }
}

}  // namespace ljungcv
