// The one export mark of the module. Everything else is built hidden; on
// Windows the module-definition file names the exports and their ordinals.
#ifndef CVMODULE_HOST_MODULE_EXPORT_H
#define CVMODULE_HOST_MODULE_EXPORT_H

#if defined(_WIN32)
#define CVMODULE_EXPORT extern "C"
#else
#define CVMODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#endif
