// Checks on a module file before it reaches the system loader, which maps
// what the file's headers promise and trusts it: a file cut short or
// corrupted would end the process with a signal inside the loader, and a
// FIFO would block it for ever.
#ifndef STANDIN_LIBRARY_FILE_H
#define STANDIN_LIBRARY_FILE_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace standin {

enum class LibraryFormat { elf64, pe32plus };

// The format this platform's loader takes.
#if defined(_WIN32)
inline constexpr LibraryFormat NATIVE_LIBRARY_FORMAT = LibraryFormat::pe32plus;
#else
inline constexpr LibraryFormat NATIVE_LIBRARY_FORMAT = LibraryFormat::elf64;
#endif

// What is wrong with the file at `path` as a shared library of `format`,
// or empty when nothing is: it must be a regular file whose headers fit in
// it, every loadable segment (section, for PE) within the file, and (ELF)
// the addresses of its dynamic section within its loadable segments.
std::string library_file_fault(const std::filesystem::path& path, LibraryFormat format = NATIVE_LIBRARY_FORMAT);

}  // namespace standin

#endif
