// Critical values through the C++ stand-in host: load the module, let the
// host register its functions, evaluate LJUNGCV with and without a method.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "standin/host_environment.h"
#include "standin/module.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MODULE-FILE\n", argv[0]);
        return 2;
    }
    try {
        standin::HostEnvironment host;
        standin::Module module(host, argv[1]);
        for (const char* method : {"C", "L"}) {
            const std::vector<standin::Argument> arguments{10.0, 0.05, std::string(method)};
            const standin::Evaluation result = module.evaluate("LJUNGCV", arguments);
            std::printf("LJUNGCV(10, 0.05, \"%s\") = %.16g (status %d)\n", method, result.value,
                        static_cast<int>(result.status));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
