// Finding the module that was built or installed beside the command.
#ifndef LJUNGCV_MODULE_LOCATOR_H
#define LJUNGCV_MODULE_LOCATOR_H

#include <filesystem>

namespace ljungcv {

// The default module: beside the executable, or in ../lib relative to it
// (both the build tree and an installation have that shape). Returns the
// first candidate that exists, else the ../lib one, whose absence the loader
// then reports. Throws standin::LoadError when the executable's own
// location cannot be known without trusting the working directory.
std::filesystem::path default_module_path(const char* argv0);

}  // namespace ljungcv

#endif
