// Loading a shared library and finding its entries: one interface, one
// platform block behind it (dlopen on POSIX, LoadLibrary on Windows).
#ifndef STANDIN_DYNAMIC_LIBRARY_H
#define STANDIN_DYNAMIC_LIBRARY_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace standin {

// A module could not be loaded or is not a module; the message names the
// file and what is wrong.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `text` as a message may show it: control bytes and bytes that are not
// UTF-8 as \xNN, cut short after `longest` bytes. For what a module or its
// loader says, which damage turns into any bytes.
std::string printable_text(std::string_view text, std::size_t longest = 240);

class DynamicLibrary {
public:
    // What a trial load does with the library before the caller loads it:
    // throws LoadError for a fault it finds.
    using Trial = std::function<void(DynamicLibrary&&)>;

    // Checks the file first (library_file_fault). Throws LoadError naming
    // the file and the fault or the loader's reason.
    //
    // On Linux the file is copied once into a sealed anonymous memory file,
    // and that copy is what is checked and loaded, so the file cannot
    // change in between. With a `trial`, the copy is first loaded and given
    // to `trial` in a child process, silent and under a time limit; only
    // when that ends well is it loaded here. A module that crashes, aborts
    // or hangs the loader or its own code is then a LoadError. Elsewhere
    // the trial is not run.
    explicit DynamicLibrary(const std::filesystem::path& path, const Trial& trial = {});
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
    // Whether `address` lies within the image's executable part: where
    // every entry a module hands out must lie.
    bool contains_code(const void* address) const;

private:
    using Ranges = std::vector<std::pair<std::uintptr_t, std::uintptr_t>>;  // [first, last) address ranges

    DynamicLibrary() = default;
    // Loads `file` (the path or its copy) without a trial.
    void load(const std::string& file);

    std::filesystem::path path_;
    void* handle_ = nullptr;
    int copy_ = -1;  // the memory file, open while its name is in use
    Ranges image_;
    Ranges code_;

};

}  // namespace standin

#endif
