#include "module_locator.h"

#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace ljungcv {

namespace {

std::filesystem::path executable_path(const char* argv0)
{
    std::error_code error;
#if defined(_WIN32)
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        return std::filesystem::path(buffer);
    }
#else
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        return self;
    }
#endif
    return std::filesystem::absolute(argv0, error);
}

}  // namespace

const char* module_file_name()
{
#if defined(_WIN32)
    return "cvmodule.dll";
#else
    return "libcvmodule.so";
#endif
}

std::filesystem::path default_module_path(const char* argv0)
{
    const std::filesystem::path directory = executable_path(argv0).parent_path();
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
    return candidates[1];
}

}  // namespace ljungcv
