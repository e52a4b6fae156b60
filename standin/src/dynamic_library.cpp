// The platform block of the stand-in host: load, find, unload.
#include "standin/dynamic_library.h"

#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace standin {

#if defined(_WIN32)

namespace {

std::string last_error_text()
{
    const DWORD code = GetLastError();
    return std::system_category().message(static_cast<int>(code));
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::filesystem::path& path) : path_(path)
{
    HMODULE module = LoadLibraryW(path.wstring().c_str());
    if (module == nullptr) {
        throw LoadError("cannot load module '" + path.string() + "': " + last_error_text());
    }
    handle_ = module;
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
    }
}

void* DynamicLibrary::find(const char* name) const
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void* DynamicLibrary::find(int ordinal) const
{
    const auto* by_ordinal = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(ordinal)));
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), by_ordinal));
}

#else

DynamicLibrary::DynamicLibrary(const std::filesystem::path& path) : path_(path)
{
    // dlopen searches the library path for a bare name; a module is always
    // named by its file.
    std::filesystem::path file = path;
    if (!file.has_parent_path()) {
        file = std::filesystem::path(".") / file;
    }
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        throw LoadError("cannot load module '" + path.string() + "': " + (reason ? reason : "unknown error"));
    }
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

void* DynamicLibrary::find(const char* name) const
{
    return dlsym(handle_, name);
}

void* DynamicLibrary::find(int /*ordinal*/) const
{
    return nullptr;
}

#endif

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, nullptr))
{
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept
{
    std::swap(path_, other.path_);
    std::swap(handle_, other.handle_);
    return *this;
}

}  // namespace standin
