// Critical values from C++ through the C interface: open the module
// installed with libcvhost (or the module file named on the command line),
// evaluate LJUNGCV with each method, close it when done.
#include <cstdint>
#include <cstdio>
#include <memory>

#include <cvmodule/cvhost.h>

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [MODULE-FILE]\n", argv[0]);
        return 2;
    }
    char message[256];
    const std::unique_ptr<cvhost, decltype(&cvhost_close)> host(
        cvhost_open(argc == 2 ? argv[1] : nullptr, message, sizeof message), &cvhost_close);
    if (!host) {
        std::fprintf(stderr, "cannot open the module: %s\n", message);
        return 1;
    }
    for (const char* method : {"C", "L"}) {
        double value = 0;
        const std::int32_t status = cvhost_ljungcv(host.get(), 10, 0.05, method, &value, nullptr);
        std::printf("LJUNGCV(10, 0.05, \"%s\") = %.16g (status %d)\n", method, value, static_cast<int>(status));
    }
    return 0;
}
