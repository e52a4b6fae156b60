#include "module_locator.h"

#include <system_error>

#include "standin/module_location.h"

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

std::filesystem::path default_module_path(const char* argv0)
{
    return standin::module_beside(executable_path(argv0).parent_path(), 1);
}

}  // namespace ljungcv
