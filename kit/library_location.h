// Where libcvhost itself was loaded from, so that the module installed with
// it can be found without a configured path.
#ifndef CVHOST_LIBRARY_LOCATION_H
#define CVHOST_LIBRARY_LOCATION_H

#include <filesystem>

namespace cvhost_kit {

// The module installed with this library: beside it, else in ../lib
// relative to it (a build tree and an installation have one or the other).
// The first that exists, else the first candidate, whose absence the loader
// then reports by name. Throws std::runtime_error when the library's own
// file is unknown.
std::filesystem::path installed_module_path();

}  // namespace cvhost_kit

#endif
