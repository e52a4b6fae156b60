// The platform block of the stand-in host: load, find, unload.
#include "standin/dynamic_library.h"

#include <cstring>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#endif

#include "standin/library_file.h"

namespace standin {

namespace {

void check_file(const std::filesystem::path& path)
{
    const std::string fault = library_file_fault(path);
    if (!fault.empty()) {
        throw LoadError("cannot load module '" + path.string() + "': " + fault);
    }
}

}  // namespace

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
    check_file(path);
    HMODULE module = LoadLibraryW(path.wstring().c_str());
    if (module == nullptr) {
        throw LoadError("cannot load module '" + path.string() + "': " + last_error_text());
    }
    handle_ = module;
    // The image as mapped: SizeOfImage bytes from the module's base.
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto first = reinterpret_cast<std::uintptr_t>(base);
    image_.emplace_back(first, first + nt->OptionalHeader.SizeOfImage);
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
    check_file(path);
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        throw LoadError("cannot load module '" + path.string() + "': " + (reason ? reason : "unknown error"));
    }
    // The image as mapped: the library's loadable segments.
    const link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr) {
        struct Search {
            const link_map* map;
            std::vector<std::pair<std::uintptr_t, std::uintptr_t>>* ranges;
        } search{map, &image_};
        dl_iterate_phdr(
            [](dl_phdr_info* info, std::size_t, void* data) {
                auto* wanted = static_cast<Search*>(data);
                if (info->dlpi_addr != wanted->map->l_addr || std::strcmp(info->dlpi_name, wanted->map->l_name) != 0) {
                    return 0;
                }
                for (int i = 0; i < info->dlpi_phnum; ++i) {
                    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                    if (segment.p_type == PT_LOAD && (segment.p_flags & PF_R) != 0) {
                        const std::uintptr_t first = info->dlpi_addr + segment.p_vaddr;
                        wanted->ranges->emplace_back(first, first + segment.p_memsz);
                    }
                }
                return 1;
            },
            &search);
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

bool DynamicLibrary::contains(const void* address, std::size_t size) const
{
    const auto first = reinterpret_cast<std::uintptr_t>(address);
    for (const auto& [begin, end] : image_) {
        if (first >= begin && first < end && size <= end - first) {
            return true;
        }
    }
    return false;
}

bool DynamicLibrary::contains_text(const char* text) const
{
    const auto first = reinterpret_cast<std::uintptr_t>(text);
    for (const auto& [begin, end] : image_) {
        if (first >= begin && first < end) {
            return std::memchr(text, '\0', end - first) != nullptr;
        }
    }
    return false;
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, nullptr)), image_(std::move(other.image_))
{
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept
{
    std::swap(path_, other.path_);
    std::swap(handle_, other.handle_);
    std::swap(image_, other.image_);
    return *this;
}

}  // namespace standin
