// Where the running program, or a library in it, was loaded from: the
// front-ends look for the module beside themselves. The working directory
// is never used to find it, since it may be anyone's.
#ifndef PLATFORM_OWN_LOCATION_H
#define PLATFORM_OWN_LOCATION_H

#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace platform {

class LocationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The running program's file, absolute: the system's own record of it
// where there is one (/proc/self/exe, GetModuleFileName), else
// program_file_from_argv0 with this process's PATH. Throws LocationError.
std::filesystem::path program_file(const char* argv0);

// The program's file from what the system's record is missing: `argv0`
// itself when it is absolute; a bare name looked up in the absolute
// directories of `search_path` (PATH's value), as the shell did. A relative
// name with a directory in it was resolved against a working directory that
// may since have changed, and is refused, as is a name not found. Throws
// LocationError.
std::filesystem::path program_file_from_argv0(std::string_view argv0, std::string_view search_path);

// The file of the library (or program) whose code holds `address`, made
// absolute against the working directory of the moment: call it while the
// library is being loaded, when that is the directory the loader used.
// Empty when the system cannot tell.
std::filesystem::path file_holding(const void* address);

}  // namespace platform

#endif
