// Records shared between the Host Toolkit and a function module.
//
// Every record here crosses the boundary between the host and the module, so
// its layout is fixed: little-endian, 64-bit pointers, no implicit padding.
// Each record is followed by static_asserts on its size and on the offset of
// every field; those asserts are the layout test. Records only ever grow at
// the end, never by inserting or reordering fields.
//
// This header is plain C++ with fixed-width types so that the stand-in host
// and the module include the same definitions.
#ifndef CVMODULE_HOST_HOST_TOOLKIT_H
#define CVMODULE_HOST_HOST_TOOLKIT_H

#include <bit>
#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Host services
// ---------------------------------------------------------------------------

// Services are numbered by component and slot. A service receives its own
// component and slot numbers first, then the caller's arguments unchanged.
using HostServiceFunction = void (*)();  // generic slot content; cast to the slot's type

// Component 0, slot 331: upper-case `length` bytes of `text` in place.
using HostUpcaseService = std::int64_t (*)(std::int32_t component, std::int32_t slot,
                                           std::uint8_t* text, std::int32_t length);
// Component 39, slot 4: report host error `code`; `detail` is 0.
using HostReportErrorService = std::int64_t (*)(std::int32_t component, std::int32_t slot,
                                                std::int32_t code, std::int64_t detail);

inline constexpr std::int32_t UPCASE_COMPONENT = 0;
inline constexpr std::int32_t UPCASE_SLOT = 331;
inline constexpr std::int32_t REPORT_ERROR_COMPONENT = 39;
inline constexpr std::int32_t REPORT_ERROR_SLOT = 4;

// Host error reported when the allocator returns no memory.
inline constexpr std::int32_t HOSTERR_NO_MEMORY = 1016;

// Flags the module passes with every allocation of a registration record.
inline constexpr std::uint32_t RECORD_ALLOC_FLAGS = 0x2006;

struct HostAllocator;
using HostAllocateFunction = void* (*)(HostAllocator* self, std::uint64_t size,
                                       std::uint32_t flags);

// The host's allocator object. Blocks it returns belong to the host; the
// module never frees one.
struct HostAllocator {
    HostAllocateFunction allocate;  //  0: returns the block, or null
};
static_assert(sizeof(HostAllocator) == 8);
static_assert(offsetof(HostAllocator, allocate) == 0);

// Optional host text services. When `upcase_via_service` is set, text is
// upper-cased through the upper-case service instead of the table.
struct HostTextServices {
    void* upcase_via_service;  //  0: tested against null only
};
static_assert(sizeof(HostTextServices) == 8);
static_assert(offsetof(HostTextServices, upcase_via_service) == 0);

// The host's context record, handed to the module once at load time and
// valid for the module's life. These are the members a module reads.
struct HostContext {
    HostServiceFunction const* const* services;  //  0: entry c = component c's vector
    std::uint8_t* usage_marks;                   //  8: one byte per component
    const std::uint8_t* upcase_table;            // 16: 256 bytes, byte b -> upper case of b
    HostAllocator* allocator;                    // 24
    const HostTextServices* text_services;       // 32: or null
};
static_assert(sizeof(HostContext) == 40);
static_assert(offsetof(HostContext, services) == 0);
static_assert(offsetof(HostContext, usage_marks) == 8);
static_assert(offsetof(HostContext, upcase_table) == 16);
static_assert(offsetof(HostContext, allocator) == 24);
static_assert(offsetof(HostContext, text_services) == 32);

// ---------------------------------------------------------------------------
// Module identification
// ---------------------------------------------------------------------------

struct ModuleDescriptor;

inline constexpr std::uint32_t IMAGE_INFORMATION_MAGIC = 0xB0BDEBED;
inline constexpr std::uint32_t IMAGE_CODE = 8;
inline constexpr char IMAGE_MARKER[] = "ZMT_Image_Information=";  // 22 characters

// Static block returned by mcn_main. Text fields are NUL-padded.
struct ImageInformation {
    char marker[24];                                //   0: IMAGE_MARKER, 2 NULs
    std::uint32_t magic;                            //  24: IMAGE_INFORMATION_MAGIC
    std::uint32_t image_code;                       //  28: IMAGE_CODE
    char short_version[6];                          //  32: "d.dd"
    char build_level[20];                           //  38: 16 characters
    char build_date[30];                            //  58: "Mmm dd yyyy", 11 characters
    const ModuleDescriptor* const* descriptors;     //  88: null-terminated list
    const char* notice;                             //  96: copyright, one line
    char image_revision[8];                         // 104: "001"
};
static_assert(sizeof(ImageInformation) == 112);
static_assert(offsetof(ImageInformation, marker) == 0);
static_assert(offsetof(ImageInformation, magic) == 24);
static_assert(offsetof(ImageInformation, image_code) == 28);
static_assert(offsetof(ImageInformation, short_version) == 32);
static_assert(offsetof(ImageInformation, build_level) == 38);
static_assert(offsetof(ImageInformation, build_date) == 58);
static_assert(offsetof(ImageInformation, descriptors) == 88);
static_assert(offsetof(ImageInformation, notice) == 96);
static_assert(offsetof(ImageInformation, image_revision) == 104);

// One slot of the VersionRecord: the address of NUL-terminated text, an
// integer (slot 3) or null (slots 17 to 25).
union VersionSlot {
    const char* text;
    std::uint64_t integer;
};
static_assert(sizeof(VersionSlot) == 8);

inline constexpr int VERSION_RECORD_SLOTS = 26;
inline constexpr int VERSION_SLOT_BUILD_TIME = 3;
inline constexpr int VERSION_SLOT_FIRST_NULL = 17;

// ---------------------------------------------------------------------------
// Function registration
// ---------------------------------------------------------------------------

struct CallFrame;

// Evaluation entry of a registered function: fills *result, returns a status.
using FunctionEntry = std::int32_t (*)(CallFrame* frame, double* result);
// Request handler of a module: returns a new record, or null.
using ModuleQuery = void* (*)(std::int32_t request);

inline constexpr std::int32_t REQUEST_FUNCTION_NAMES = 1;
inline constexpr std::int32_t REQUEST_FUNCTION_ENTRIES = 2;

// Static record naming the module and its request handler. The values the
// module only stores for the host are named by their offset.
struct ModuleDescriptor {
    std::uint16_t host_word0;   //  0: 0
    std::uint16_t host_word2;   //  2: 0xFFFF
    std::uint32_t host_word4;   //  4: 1024
    std::uint32_t host_word8;   //  8: 1024
    char name[12];              // 12: module name, NUL-padded
    ModuleQuery query;          // 24: request handler
    std::uint32_t host_word32;  // 32: 1
    std::uint32_t host_word36;  // 36: 9683
    std::uint64_t host_word40;  // 40: 0xF2013B8E0
};
static_assert(sizeof(ModuleDescriptor) == 48);
static_assert(offsetof(ModuleDescriptor, host_word0) == 0);
static_assert(offsetof(ModuleDescriptor, host_word2) == 2);
static_assert(offsetof(ModuleDescriptor, host_word4) == 4);
static_assert(offsetof(ModuleDescriptor, host_word8) == 8);
static_assert(offsetof(ModuleDescriptor, name) == 12);
static_assert(offsetof(ModuleDescriptor, query) == 24);
static_assert(offsetof(ModuleDescriptor, host_word32) == 32);
static_assert(offsetof(ModuleDescriptor, host_word36) == 36);
static_assert(offsetof(ModuleDescriptor, host_word40) == 40);

// Static entry describing one offered function.
struct FunctionDefinition {
    char name[24];              //  0: NUL-padded
    std::uint16_t min_args;     // 24
    std::uint16_t max_args;     // 26
    std::uint32_t host_word28;  // 28: 66
    std::uint32_t host_word32;  // 32: 0
    std::uint32_t host_word36;  // 36: 137
};
static_assert(sizeof(FunctionDefinition) == 40);
static_assert(offsetof(FunctionDefinition, name) == 0);
static_assert(offsetof(FunctionDefinition, min_args) == 24);
static_assert(offsetof(FunctionDefinition, max_args) == 26);
static_assert(offsetof(FunctionDefinition, host_word28) == 28);
static_assert(offsetof(FunctionDefinition, host_word32) == 32);
static_assert(offsetof(FunctionDefinition, host_word36) == 36);

// Answer to REQUEST_FUNCTION_NAMES, allocated from the host.
struct FunctionNamesRecord {
    std::int32_t count;                    //  0
    std::uint32_t unwritten;               //  4: left as allocated
    const FunctionDefinition* functions;   //  8: `count` entries
};
static_assert(sizeof(FunctionNamesRecord) == 16);
static_assert(offsetof(FunctionNamesRecord, count) == 0);
static_assert(offsetof(FunctionNamesRecord, unwritten) == 4);
static_assert(offsetof(FunctionNamesRecord, functions) == 8);

// Answer to REQUEST_FUNCTION_ENTRIES, allocated from the host: an 8-byte
// header the module leaves as allocated, then one entry per function, in the
// order of the FunctionDefinitions. Its size is 8 * (count + 1) bytes.
struct FunctionEntriesRecord {
    std::uint64_t unwritten;     //  0: left as allocated
    FunctionEntry entries[1];    //  8: the first of `count` entries
};
static_assert(sizeof(FunctionEntriesRecord) == 16);
static_assert(offsetof(FunctionEntriesRecord, unwritten) == 0);
static_assert(offsetof(FunctionEntriesRecord, entries) == 8);

inline constexpr std::uint64_t function_entries_record_size(std::int32_t count)
{
    return 8 * (static_cast<std::uint64_t>(count > 0 ? count : 0) + 1);
}

// ---------------------------------------------------------------------------
// Evaluation
// ---------------------------------------------------------------------------

// The host's record for a character value: blank-filled to `length`, never
// NUL-terminated, never written by a module.
struct TextDescriptor {
    std::uint64_t host_word0;  //  0
    std::int32_t length;       //  8: full width, trailing blanks included
    std::uint32_t host_word12; // 12
    const char* chars;         // 16: first character
};
static_assert(sizeof(TextDescriptor) == 24);
static_assert(offsetof(TextDescriptor, host_word0) == 0);
static_assert(offsetof(TextDescriptor, length) == 8);
static_assert(offsetof(TextDescriptor, host_word12) == 12);
static_assert(offsetof(TextDescriptor, chars) == 16);

// One argument of a call. A module marks a rejected argument by setting bit 0
// of `invalid` and changes nothing else.
struct ArgumentSlot {
    std::uint8_t host_byte0;     //  0
    std::uint8_t invalid;        //  1: bit 0 = rejected
    std::uint8_t host_bytes[6];  //  2
    const void* value;           //  8: double, or TextDescriptor
};
static_assert(sizeof(ArgumentSlot) == 16);
static_assert(offsetof(ArgumentSlot, host_byte0) == 0);
static_assert(offsetof(ArgumentSlot, invalid) == 1);
static_assert(offsetof(ArgumentSlot, host_bytes) == 2);
static_assert(offsetof(ArgumentSlot, value) == 8);

inline constexpr std::uint8_t ARGUMENT_INVALID = 0x01;
inline constexpr int MAX_CALL_ARGUMENTS = 3;

// The argument block of one evaluation. The host allocates as many argument
// slots as it passes arguments; slots past `argument_count` are never read.
struct CallFrame {
    std::uint8_t host_fields[32];                  //  0
    std::int32_t argument_count;                   // 32
    std::uint32_t host_word36;                     // 36
    ArgumentSlot arguments[MAX_CALL_ARGUMENTS];    // 40: argument i at 40 + 16 (i - 1)
};
static_assert(offsetof(CallFrame, host_fields) == 0);
static_assert(offsetof(CallFrame, argument_count) == 32);
static_assert(offsetof(CallFrame, host_word36) == 36);
static_assert(offsetof(CallFrame, arguments) == 40);
static_assert(sizeof(CallFrame) == 40 + 16 * MAX_CALL_ARGUMENTS);

inline constexpr std::size_t call_frame_size(int argument_count)
{
    return offsetof(CallFrame, arguments) + sizeof(ArgumentSlot) * static_cast<std::size_t>(argument_count);
}

// Host status codes of an evaluation.
inline constexpr std::int32_t STATUS_OK = 0;
inline constexpr std::int32_t STATUS_INVALID_ARGUMENT = 120836;
inline constexpr std::int32_t STATUS_NO_RESULT = 120833;

// The host's missing value. Any double whose top 16 bits are all ones is
// missing; a failure always answers this one pattern.
inline constexpr std::uint64_t MISSING_VALUE_BITS = 0xFFFFD10000000000;
inline constexpr std::uint64_t MISSING_TOP_BITS = 0xFFFF000000000000;
inline constexpr double MISSING_VALUE = std::bit_cast<double>(MISSING_VALUE_BITS);

// True when the top 16 bits of the pattern are all ones. This tests the bits
// only: an infinity, or a NaN with other top bits, is not missing.
inline constexpr bool is_missing(double value)
{
    return (std::bit_cast<std::uint64_t>(value) & MISSING_TOP_BITS) == MISSING_TOP_BITS;
}

#endif
