#include "pe_file.h"

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pe {

namespace {

class FileView {
public:
    FileView(const std::filesystem::path& path) : path_(path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            throw std::runtime_error("cannot read '" + path.string() + "'");
        }
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The record of type T at file offset `offset`, copied out (the file's
    // records need not be aligned in memory).
    template <typename T>
    T at(std::size_t offset) const
    {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) {
            fail("record at offset " + std::to_string(offset) + " runs past the end of the file");
        }
        T record;
        std::memcpy(&record, bytes_.data() + offset, sizeof(T));
        return record;
    }

    std::string text_at(std::size_t offset) const
    {
        std::string text;
        for (; offset < bytes_.size() && bytes_[offset] != '\0'; ++offset) {
            text += bytes_[offset];
        }
        if (offset == bytes_.size()) {
            fail("text runs past the end of the file");
        }
        return text;
    }

    [[noreturn]] void fail(const std::string& what) const
    {
        throw std::runtime_error("'" + path_.string() + "' is not a valid PE image: " + what);
    }

private:
    std::filesystem::path path_;
    std::string bytes_;
};

// The file offset of an RVA, through the section that holds it.
std::size_t offset_of(const FileView& file, const std::vector<IMAGE_SECTION_HEADER>& sections, std::uint32_t rva)
{
    for (const IMAGE_SECTION_HEADER& s : sections) {
        if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData) {
            return s.PointerToRawData + (rva - s.VirtualAddress);
        }
    }
    file.fail("RVA " + std::to_string(rva) + " lies in no section");
}

}  // namespace

Image read_image(const std::filesystem::path& path)
{
    const FileView file(path);
    const auto dos = file.at<IMAGE_DOS_HEADER>(0);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE) {
        file.fail("no MZ header");
    }
    const auto nt = file.at<IMAGE_NT_HEADERS64>(static_cast<std::size_t>(dos.e_lfanew));
    if (nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        file.fail("no PE32+ header");
    }

    Image image;
    image.machine = nt.FileHeader.Machine;
    image.characteristics = nt.FileHeader.Characteristics;
    image.time_stamp = nt.FileHeader.TimeDateStamp;
    image.entry_rva = nt.OptionalHeader.AddressOfEntryPoint;

    std::vector<IMAGE_SECTION_HEADER> sections;
    const std::size_t first_section = static_cast<std::size_t>(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                      nt.FileHeader.SizeOfOptionalHeader;
    for (unsigned i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
        const auto s = file.at<IMAGE_SECTION_HEADER>(first_section + i * sizeof(IMAGE_SECTION_HEADER));
        sections.push_back(s);
        image.sections.push_back(Section{
            .name = std::string(reinterpret_cast<const char*>(s.Name), strnlen(reinterpret_cast<const char*>(s.Name), 8)),
            .rva = s.VirtualAddress,
            .size = s.Misc.VirtualSize,
            .characteristics = s.Characteristics,
        });
    }

    const IMAGE_DATA_DIRECTORY* directories = nt.OptionalHeader.DataDirectory;
    const auto directory_present = [&](int entry) {
        return static_cast<DWORD>(entry) < nt.OptionalHeader.NumberOfRvaAndSizes && directories[entry].VirtualAddress != 0;
    };
    image.has_tls_directory = directory_present(IMAGE_DIRECTORY_ENTRY_TLS);
    image.has_delay_imports = directory_present(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT);

    if (directory_present(IMAGE_DIRECTORY_ENTRY_EXPORT)) {
        const auto exports = file.at<IMAGE_EXPORT_DIRECTORY>(
            offset_of(file, sections, directories[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress));
        image.export_name = file.text_at(offset_of(file, sections, exports.Name));
        image.ordinal_base = exports.Base;
        std::vector<std::string> names(exports.NumberOfFunctions);
        for (DWORD i = 0; i < exports.NumberOfNames; ++i) {
            const auto name_rva = file.at<DWORD>(offset_of(file, sections, exports.AddressOfNames) + 4 * i);
            const auto index = file.at<WORD>(offset_of(file, sections, exports.AddressOfNameOrdinals) + 2 * i);
            if (index >= names.size()) {
                file.fail("export name refers to a function past the table");
            }
            names[index] = file.text_at(offset_of(file, sections, name_rva));
        }
        for (DWORD i = 0; i < exports.NumberOfFunctions; ++i) {
            const auto rva = file.at<DWORD>(offset_of(file, sections, exports.AddressOfFunctions) + 4 * i);
            if (rva != 0) {  // an unused slot of the address table
                image.exports.push_back(Export{.ordinal = exports.Base + i, .name = names[i], .rva = rva});
            }
        }
    }

    if (directory_present(IMAGE_DIRECTORY_ENTRY_IMPORT)) {
        std::size_t at = offset_of(file, sections, directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
        for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const auto import = file.at<IMAGE_IMPORT_DESCRIPTOR>(at);
            if (import.Name == 0) {
                break;
            }
            image.imported_dlls.push_back(file.text_at(offset_of(file, sections, import.Name)));
        }
    }
    return image;
}

}  // namespace pe
