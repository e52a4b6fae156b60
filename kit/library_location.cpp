// The platform block of the kit: the file this library was loaded from
// (GetModuleHandleEx on Windows, dladdr elsewhere).
#include "library_location.h"

#include <string>
#include <system_error>

#include "standin/module_location.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace cvhost_kit {

namespace {

// Any address inside this library names it.
void anchor() {}

std::filesystem::path this_library_file()
{
#if defined(_WIN32)
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&anchor), &self)) {
        return {};
    }
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name);
        }
        name.resize(name.size() * 2);
    }
#else
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&anchor), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::error_code error;
    auto file = std::filesystem::absolute(info.dli_fname, error);
    return error ? std::filesystem::path(info.dli_fname) : file;
#endif
}

}  // namespace

std::filesystem::path installed_module_path()
{
    return standin::module_beside(this_library_file().parent_path(), 0);
}

}  // namespace cvhost_kit
