#include "standin/module_location.h"

#include <system_error>

namespace standin {

const char* module_file_name()
{
#if defined(_WIN32)
    return "cvmodule.dll";
#else
    return "libcvmodule.so";
#endif
}

std::filesystem::path module_beside(const std::filesystem::path& directory, int fallback)
{
    const std::filesystem::path candidates[] = {
        directory / module_file_name(),
        directory.parent_path() / "lib" / module_file_name(),
#if defined(CVMODULE_MODULE_DIR)
        directory.parent_path() / CVMODULE_MODULE_DIR / module_file_name(),
#endif
#if defined(CVMODULE_SYSTEM_MODULE_FILE)
        CVMODULE_SYSTEM_MODULE_FILE,
#endif
    };
    std::error_code error;
    for (const auto& candidate : candidates) {
        if (std::filesystem::exists(candidate, error)) {
            return candidate;
        }
    }
    return candidates[fallback == 0 ? 0 : 1];
}

}  // namespace standin
