// Where a program or library finds the module it was built or installed
// with.
#ifndef STANDIN_MODULE_LOCATION_H
#define STANDIN_MODULE_LOCATION_H

#include <filesystem>

namespace standin {

// The module file's name on this platform.
const char* module_file_name();

// The module that goes with a program or library in `directory`: beside it,
// else in ../lib or the installed module directory relative to it (a build
// tree and an installation have one or the other shape), else, in a system
// install, where that installs it. The first that exists, else `fallback`'s candidate (0:
// beside, 1: ../lib), whose absence the loader then reports by name.
std::filesystem::path module_beside(const std::filesystem::path& directory, int fallback);

}  // namespace standin

#endif
