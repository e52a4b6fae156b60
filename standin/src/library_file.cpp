#include "standin/library_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

namespace standin {

namespace {

// Reads little-endian fields at offsets of a file, through a cache of one
// block (the headers lie together), remembering whether any read failed.
class FileBytes {
public:
    FileBytes(const std::filesystem::path& path, std::uint64_t size) : in_(path, std::ios::binary), size_(size) {}

    bool opened() const { return static_cast<bool>(in_); }
    std::uint64_t size() const { return size_; }
    // Whether [offset, offset + length) lies within the file.
    bool within(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= size_ && length <= size_ - offset;
    }

    std::uint64_t read(std::uint64_t offset, int bytes)
    {
        if (!within(offset, static_cast<std::uint64_t>(bytes))) {
            return 0;
        }
        if (offset < block_start_ || offset + static_cast<std::uint64_t>(bytes) > block_start_ + block_.size()) {
            block_start_ = offset - offset % BLOCK;
            block_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(2 * BLOCK, size_ - block_start_)));
            in_.seekg(static_cast<std::streamoff>(block_start_));
            in_.read(block_.data(), static_cast<std::streamsize>(block_.size()));
            if (!in_) {
                failed_ = true;
                block_.clear();
                return 0;
            }
        }
        std::uint64_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) {
            value = (value << 8) | static_cast<unsigned char>(block_[offset - block_start_ + static_cast<std::uint64_t>(i)]);
        }
        return value;
    }
    bool read_failed() const { return failed_; }

private:
    static constexpr std::uint64_t BLOCK = 32768;  // a block and the next are cached
    std::ifstream in_;
    std::uint64_t size_;
    std::vector<char> block_;
    std::uint64_t block_start_ = 0;
    bool failed_ = false;
};

std::string bytes(std::uint64_t count)
{
    return std::to_string(count) + " bytes";
}

// ELF64, little-endian, a shared object.
std::string elf_fault(FileBytes& file)
{
    constexpr std::uint64_t HEADER = 64;
    constexpr std::uint64_t PROGRAM_HEADER = 56;
    constexpr std::uint32_t PT_LOAD = 1;
    constexpr std::uint32_t PT_DYNAMIC = 2;
    constexpr std::uint16_t ET_DYN = 3;
    constexpr std::uint32_t PT_GNU_STACK = 0x6474e551;
    constexpr std::uint32_t PT_GNU_RELRO = 0x6474e552;
    if (!file.within(0, HEADER) || file.read(0, 4) != 0x464C457FU) {
        return "not a shared library (no ELF header)";
    }
    if (file.read(4, 1) != 2 || file.read(5, 1) != 1) {
        return "not a 64-bit little-endian ELF file";
    }
    if (file.read(16, 2) != ET_DYN) {
        return "not a shared library (ELF type " + std::to_string(file.read(16, 2)) + ")";
    }
    const std::uint64_t table = file.read(32, 8);
    const std::uint64_t entry_size = file.read(54, 2);
    const std::uint64_t count = file.read(56, 2);
    if (entry_size != PROGRAM_HEADER || count == 0 || !file.within(table, count * PROGRAM_HEADER)) {
        return "damaged: the program header table (" + std::to_string(count) + " entries at byte " +
               std::to_string(table) + ") does not fit in the file of " + bytes(file.size());
    }

    struct Segment {
        std::uint64_t address, memory_size, offset, file_size, flags;
    };
    std::vector<Segment> loaded;
    struct Range {
        std::uint64_t address = 0, size = 0;
    } relro;
    std::uint64_t dynamic_offset = 0;
    std::uint64_t dynamic_size = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = table + i * PROGRAM_HEADER;
        const std::uint64_t type = file.read(at, 4);
        const std::uint64_t flags = file.read(at + 4, 4);
        const std::uint64_t offset = file.read(at + 8, 8);
        const std::uint64_t address = file.read(at + 16, 8);
        const std::uint64_t file_size = file.read(at + 32, 8);
        const std::uint64_t memory_size = file.read(at + 40, 8);
        if (type == PT_GNU_STACK && (flags & 1 /*PF_X*/) != 0) {
            return "damaged: it asks for an executable stack";
        }
        if (type == PT_GNU_RELRO) {
            relro = {address, memory_size};
        }
        if (type != PT_LOAD && type != PT_DYNAMIC) {
            continue;
        }
        if (!file.within(offset, file_size)) {
            return "damaged: segment " + std::to_string(i) + " (bytes " + std::to_string(offset) + " to " +
                   std::to_string(offset + file_size) + ") lies past the end of the file of " + bytes(file.size());
        }
        if (type == PT_LOAD) {
            if (file_size > memory_size) {
                return "damaged: segment " + std::to_string(i) + " holds more bytes than it maps";
            }
            // The loader reserves room from the first segment to the end
            // of the last and maps each over it: a segment out of order or
            // reaching past the next would be mapped over other memory of
            // the process.
            if (!loaded.empty() && (address < loaded.back().address ||
                                    address - loaded.back().address < loaded.back().memory_size)) {
                return "damaged: segment " + std::to_string(i) + " overlaps or precedes the one before it";
            }
            if (memory_size > UINT64_MAX - address) {
                return "damaged: segment " + std::to_string(i) + " reaches past the end of the address space";
            }
            loaded.push_back({address, memory_size, offset, file_size, flags});
        } else {
            dynamic_offset = offset;
            dynamic_size = file_size;
        }
    }
    if (loaded.empty() || dynamic_size == 0) {
        return "not a shared library (no loadable segment or no dynamic section)";
    }

    // The dynamic section's addresses, which the loader follows at once.
    // `flags`: what the segment must allow (PF_X 1, PF_W 2).
    const auto segment_of = [&](std::uint64_t address, std::uint64_t length, std::uint64_t flags) -> const Segment* {
        for (const Segment& segment : loaded) {
            if (address >= segment.address && address - segment.address < segment.memory_size &&
                length <= segment.memory_size - (address - segment.address) && (segment.flags & flags) == flags) {
                return &segment;
            }
        }
        return nullptr;
    };
    const auto mapped = [&](std::uint64_t address) { return segment_of(address, 0, 0) != nullptr; };
    constexpr std::array<std::uint64_t, 12> ADDRESS_TAGS{
        3 /*PLTGOT*/,     4 /*HASH*/,      5 /*STRTAB*/,         6 /*SYMTAB*/,
        7 /*RELA*/,       23 /*JMPREL*/,   25 /*INIT_ARRAY*/,    26 /*FINI_ARRAY*/,
        0x6ffffef5 /*GNU_HASH*/, 0x6ffffff0 /*VERSYM*/, 0x6ffffffc /*VERDEF*/, 0x6ffffffe /*VERNEED*/};
    constexpr std::uint64_t PF_X = 1;
    constexpr std::uint64_t PF_W = 2;
    // The loader makes this range read-only once relocated.
    if (relro.size != 0 && segment_of(relro.address, relro.size, PF_W) == nullptr) {
        return "damaged: the read-only-after-relocation range (address " + std::to_string(relro.address) +
               ") lies outside the library's data";
    }
    Range rela;
    Range plt;
    for (std::uint64_t at = dynamic_offset; at + 16 <= dynamic_offset + dynamic_size; at += 16) {
        const std::uint64_t tag = file.read(at, 8);
        if (tag == 0) {
            break;
        }
        const std::uint64_t value = file.read(at + 8, 8);
        for (const std::uint64_t address_tag : ADDRESS_TAGS) {
            if (tag == address_tag && !mapped(value)) {
                return "damaged: dynamic entry " + std::to_string(tag) + " points outside the library (address " +
                       std::to_string(value) + ")";
            }
        }
        // The code run at load and unload.
        if ((tag == 12 /*INIT*/ || tag == 13 /*FINI*/) && segment_of(value, 1, PF_X) == nullptr) {
            return "damaged: dynamic entry " + std::to_string(tag) + " points outside the library's code (address " +
                   std::to_string(value) + ")";
        }
        switch (tag) {
        case 7 /*RELA*/: rela.address = value; break;
        case 8 /*RELASZ*/: rela.size = value; break;
        case 23 /*JMPREL*/: plt.address = value; break;
        case 2 /*PLTRELSZ*/: plt.size = value; break;
        default: break;
        }
    }
    // Every relocation writes within the library's writable data: one that
    // pointed elsewhere would change another library's memory unseen.
    constexpr std::uint64_t RELA_ENTRY = 24;
    for (const Range& relocations : {rela, plt}) {
        if (relocations.size == 0) {
            continue;
        }
        const Segment* segment = segment_of(relocations.address, relocations.size, 0);
        const std::uint64_t into = segment != nullptr ? relocations.address - segment->address : 0;
        if (segment == nullptr || relocations.size % RELA_ENTRY != 0 || into > segment->file_size ||
            relocations.size > segment->file_size - into) {
            return "damaged: a relocation table (" + bytes(relocations.size) + " at address " +
                   std::to_string(relocations.address) + ") does not lie within the file's data";
        }
        const std::uint64_t start = segment->offset + into;
        for (std::uint64_t at = start; at < start + relocations.size; at += RELA_ENTRY) {
            const std::uint64_t target = file.read(at, 8);
            if (segment_of(target, 8, PF_W) == nullptr) {
                return "damaged: a relocation writes outside the library's data (address " + std::to_string(target) +
                       ")";
            }
        }
    }
    return file.read_failed() ? "cannot read the file" : "";
}

// PE32+ (64-bit Windows).
std::string pe_fault(FileBytes& file)
{
    if (!file.within(0, 64) || file.read(0, 2) != 0x5A4DU) {
        return "not a shared library (no MZ header)";
    }
    const std::uint64_t pe = file.read(0x3C, 4);
    constexpr std::uint64_t FILE_HEADER = 20;
    if (!file.within(pe, 4 + FILE_HEADER) || file.read(pe, 4) != 0x00004550U) {
        return "not a shared library (no PE header)";
    }
    const std::uint64_t sections = file.read(pe + 4 + 2, 2);
    const std::uint64_t optional_size = file.read(pe + 4 + 16, 2);
    const std::uint64_t optional = pe + 4 + FILE_HEADER;
    if (optional_size < 64 || !file.within(optional, optional_size) || file.read(optional, 2) != 0x20BU) {
        return "not a 64-bit PE file";
    }
    const std::uint64_t headers_size = file.read(optional + 60, 4);
    constexpr std::uint64_t SECTION_HEADER = 40;
    const std::uint64_t table = optional + optional_size;
    if (!file.within(0, headers_size) || !file.within(table, sections * SECTION_HEADER)) {
        return "damaged: the headers (" + bytes(headers_size) + ", " + std::to_string(sections) +
               " sections) do not fit in the file of " + bytes(file.size());
    }
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::uint64_t at = table + i * SECTION_HEADER;
        const std::uint64_t raw_size = file.read(at + 16, 4);
        const std::uint64_t raw_offset = file.read(at + 20, 4);
        if (raw_size != 0 && !file.within(raw_offset, raw_size)) {
            return "damaged: section " + std::to_string(i) + " (bytes " + std::to_string(raw_offset) + " to " +
                   std::to_string(raw_offset + raw_size) + ") lies past the end of the file of " + bytes(file.size());
        }
    }
    return file.read_failed() ? "cannot read the file" : "";
}

}  // namespace

std::string library_file_fault(const std::filesystem::path& path, LibraryFormat format)
{
    // The kind of file from its directory entry, before anything opens it:
    // opening a FIFO would wait for a writer.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) {
        return error.message();
    }
    if (status.type() != std::filesystem::file_type::regular) {
        switch (status.type()) {
        case std::filesystem::file_type::directory:
            return "a directory, not a library file";
        case std::filesystem::file_type::fifo:
            return "a FIFO, not a library file";
        default:
            return "not a regular file";
        }
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return error.message();
    }
    FileBytes file(path, size);
    if (!file.opened()) {
        return std::strerror(errno);
    }
    return format == LibraryFormat::elf64 ? elf_fault(file) : pe_fault(file);
}

}  // namespace standin
