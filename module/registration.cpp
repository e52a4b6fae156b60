// Function registration: a static table of the functions this module offers
// and one record builder for the host's requests.
#include "registration.h"

#include <cstring>

#include "ljungcv_eval.h"
#include "host_services.h"

namespace {

constexpr int FUNCTION_COUNT = 1;

constexpr FunctionDefinition function_definitions[FUNCTION_COUNT] = {
    {.name = "LJUNGCV",
     .min_args = 2,
     .max_args = 3,
     .host_word28 = 66,
     .host_word32 = 0,
     .host_word36 = 137},
};

constexpr FunctionEntry function_entries[FUNCTION_COUNT] = {
    ljungcv_eval,
};

void* allocate_record(std::uint64_t size)
{
    HostAllocator* allocator = host_context()->allocator;
    void* record = allocator->allocate(allocator, size, RECORD_ALLOC_FLAGS);
    if (record == nullptr) {
        host_report_error(HOSTERR_NO_MEMORY, 0);
    }
    return record;
}

}  // namespace

constinit const ModuleDescriptor MODULE_DESCRIPTOR = {
    .host_word0 = 0,
    .host_word2 = 0xFFFF,
    .host_word4 = 1024,
    .host_word8 = 1024,
    .name = "cvmodule",
    .query = module_query,
    .host_word32 = 1,
    .host_word36 = 9683,
    .host_word40 = 0xF2013B8E0,
};

void* make_registration_record(std::int32_t request, std::int32_t count,
                               const FunctionDefinition* definitions, const FunctionEntry* entries)
{
    if (request == REQUEST_FUNCTION_NAMES) {
        auto* record = static_cast<FunctionNamesRecord*>(allocate_record(sizeof(FunctionNamesRecord)));
        if (record != nullptr) {
            record->count = count;
            record->functions = definitions;
        }
        return record;
    }
    if (request == REQUEST_FUNCTION_ENTRIES) {
        auto* record = static_cast<unsigned char*>(allocate_record(function_entries_record_size(count)));
        if (record != nullptr && count > 0) {
            std::memcpy(record + offsetof(FunctionEntriesRecord, entries), entries,
                        sizeof(FunctionEntry) * static_cast<std::size_t>(count));
        }
        return record;
    }
    return nullptr;
}

extern "C" void* module_query(std::int32_t request)
{
    return make_registration_record(request, FUNCTION_COUNT, function_definitions, function_entries);
}
