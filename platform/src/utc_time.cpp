#include "platform/utc_time.h"

#include <ctime>

namespace platform {

std::string utc_text(std::uint64_t seconds)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
#if defined(_WIN32)
    gmtime_s(&parts, &time);
#else
    gmtime_r(&time, &parts);
#endif
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return buffer;
}

}  // namespace platform
