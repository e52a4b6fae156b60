// The platform block for finding oneself: GetModuleFileName on Windows;
// /proc/self/exe and dladdr elsewhere.
#include "platform/own_location.h"

#include <cstdlib>
#include <string>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace platform {

namespace {

#if defined(_WIN32)
constexpr char PATH_SEPARATOR = ';';

// The file of a loaded module (null: the program), growing the buffer until
// the name fits.
std::filesystem::path module_file(HMODULE module)
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name);
        }
        name.resize(name.size() * 2);
    }
}

std::filesystem::path system_record_of_program()
{
    return module_file(nullptr);
}
#else
constexpr char PATH_SEPARATOR = ':';

std::filesystem::path system_record_of_program()
{
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}
#endif

bool is_program(const std::filesystem::path& file)
{
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    using std::filesystem::perms;
    return !error && std::filesystem::is_regular_file(status) &&
           (status.permissions() & (perms::owner_exec | perms::group_exec | perms::others_exec)) != perms::none;
}

}  // namespace

std::filesystem::path program_file_from_argv0(std::string_view argv0, std::string_view search_path)
{
    std::filesystem::path name(argv0);
    if (name.is_absolute()) {
        return name;
    }
    if (argv0.empty() || name.has_parent_path()) {
        throw LocationError("cannot tell where this program is: its name '" + std::string(argv0) +
                            "' is relative to a directory that cannot be known; give the module with --module");
    }
    // Relative directories on PATH would be looked up in the working
    // directory, which is what this lookup must not depend on.
    while (!search_path.empty()) {
        const std::size_t end = std::min(search_path.find(PATH_SEPARATOR), search_path.size());
        const std::filesystem::path directory(search_path.substr(0, end));
        search_path.remove_prefix(std::min(end + 1, search_path.size()));
        if (directory.is_absolute() && is_program(directory / name)) {
            return directory / name;
        }
    }
    throw LocationError("cannot tell where this program is: '" + std::string(argv0) +
                        "' is not on PATH; give the module with --module");
}

std::filesystem::path program_file(const char* argv0)
{
    if (auto recorded = system_record_of_program(); !recorded.empty()) {
        return recorded;
    }
    const char* search_path = std::getenv("PATH");
    return program_file_from_argv0(argv0 != nullptr ? argv0 : "", search_path != nullptr ? search_path : "");
}

std::filesystem::path file_holding(const void* address)
{
#if defined(_WIN32)
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module)) {
        return {};
    }
    return module_file(module);
#else
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr || *info.dli_fname == '\0') {
        return {};
    }
    std::error_code error;
    auto file = std::filesystem::absolute(info.dli_fname, error);
    return error ? std::filesystem::path() : file;
#endif
}

}  // namespace platform
