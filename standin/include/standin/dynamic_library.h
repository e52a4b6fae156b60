// Loading a shared library and finding its entries: one interface, one
// platform block behind it (dlopen on POSIX, LoadLibrary on Windows).
#ifndef STANDIN_DYNAMIC_LIBRARY_H
#define STANDIN_DYNAMIC_LIBRARY_H

#include <filesystem>
#include <stdexcept>
#include <string>

namespace standin {

// A module could not be loaded or is not a module; the message names the
// file and what is wrong.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DynamicLibrary {
public:
    // Throws LoadError naming the file and the loader's reason.
    explicit DynamicLibrary(const std::filesystem::path& path);
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // The address of an exported entry, or null when there is none.
    void* find(const char* name) const;
    // By export ordinal (Windows); null where the platform has no ordinals.
    void* find(int ordinal) const;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    void* handle_ = nullptr;
};

}  // namespace standin

#endif
