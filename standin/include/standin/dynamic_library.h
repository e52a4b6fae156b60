// Loading a shared library and finding its entries: one interface, one
// platform block behind it (dlopen on POSIX, LoadLibrary on Windows).
#ifndef STANDIN_DYNAMIC_LIBRARY_H
#define STANDIN_DYNAMIC_LIBRARY_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace standin {

// A module could not be loaded or is not a module; the message names the
// file and what is wrong.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DynamicLibrary {
public:
    // Checks the file first (library_file_fault). Throws LoadError naming
    // the file and the fault or the loader's reason.
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

    // Whether [address, address + size) lies within the library's image as
    // loaded: where the records a module hands out must lie.
    bool contains(const void* address, std::size_t size) const;
    // Whether `text` is NUL-terminated text within the image.
    bool contains_text(const char* text) const;

private:
    std::filesystem::path path_;
    void* handle_ = nullptr;
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> image_;  // [first, last) address ranges

};

}  // namespace standin

#endif
