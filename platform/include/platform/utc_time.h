// Times as the host shows them.
#ifndef PLATFORM_UTC_TIME_H
#define PLATFORM_UTC_TIME_H

#include <cstdint>
#include <string>

namespace platform {

// A count of seconds since 1970 as "YYYY-MM-DD HH:MM:SS UTC".
std::string utc_text(std::uint64_t seconds);

}  // namespace platform

#endif
