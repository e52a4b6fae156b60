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
