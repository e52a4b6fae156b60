// A reader of the tables of a PE image file (a Windows DLL), read from disk
// the way a linker or objdump sees it, not as the loader maps it.
#ifndef CVMODULE_TESTS_WINDOWS_PE_FILE_H
#define CVMODULE_TESTS_WINDOWS_PE_FILE_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pe {

struct Export {
    std::uint32_t ordinal;  // biased: the number a caller asks for
    std::string name;       // empty when exported by ordinal only
    std::uint32_t rva;
};

struct Section {
    std::string name;
    std::uint32_t rva;
    std::uint32_t size;
    std::uint32_t characteristics;
};

struct Image {
    std::uint16_t machine = 0;
    std::uint16_t characteristics = 0;
    std::uint32_t time_stamp = 0;
    std::uint32_t entry_rva = 0;
    std::string export_name;  // the DLL name the export table gives
    std::uint32_t ordinal_base = 0;
    std::vector<Export> exports;
    std::vector<std::string> imported_dlls;
    bool has_delay_imports = false;
    bool has_tls_directory = false;
    std::vector<Section> sections;
};

// Throws std::runtime_error naming the file and what is malformed.
Image read_image(const std::filesystem::path& path);

}  // namespace pe

#endif
