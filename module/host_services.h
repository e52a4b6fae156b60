// The module's side of the Host Toolkit: the context kept from mcn_main and
// the forwarding entries through which every host service is called.
#ifndef CVMODULE_HOST_HOST_SERVICES_H
#define CVMODULE_HOST_HOST_SERVICES_H

#include <cstdint>

#include "host/host_toolkit.h"

// The HostContext that mcn_main stored, or null before the first call.
const HostContext* host_context();
void set_host_context(const HostContext* context);

// Forwarding entries: each sets its component's usage mark, then passes its
// arguments unchanged to the service and returns the service's result.
std::int64_t host_upcase(std::uint8_t* text, std::int32_t length);
std::int64_t host_report_error(std::int32_t code, std::int64_t detail);

#endif
