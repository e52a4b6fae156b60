// How the host learns of LJUNGCV: the module's descriptor, its function
// table and the request handler that answers with registration records.
#ifndef CVMODULE_HOST_REGISTRATION_H
#define CVMODULE_HOST_REGISTRATION_H

#include <cstdint>

#include "host/host_toolkit.h"

extern "C" void* module_query(std::int32_t request);

// Builds the record answering `request` from host memory: for
// REQUEST_FUNCTION_NAMES `count` and `definitions`, for
// REQUEST_FUNCTION_ENTRIES the `count` addresses in `entries`. Returns null
// for another request, and null after reporting HOSTERR_NO_MEMORY when the
// host's allocator has no memory.
void* make_registration_record(std::int32_t request, std::int32_t count,
                               const FunctionDefinition* definitions, const FunctionEntry* entries);

extern const ModuleDescriptor MODULE_DESCRIPTOR;

#endif
