// A soak of the host path: random call frames of LJUNGCV through the entry
// the stand-in host registered from the built module, on every core at once,
// each answer compared bit for bit with a direct call of the method's
// routine from the module's own objects. Not a test (it runs for minutes);
// it prints the frames sent, the mismatches and the time taken, and exits 1
// on any mismatch.
//
//   cvmodule_soak [--frames N] [--threads T] [--seed S] [--upcase table|service]
//                 [--module PATH]
//
//   --frames N   call frames in all (default 100000000)
//   --threads T  threads sending them (default: one per core)
//   --seed S     the random frames' seed (default 1); a run repeats exactly
//   --upcase H   how the host upper-cases a method text: by its table
//                (default) or through its service
//   --module P   the module file (default: the one this build made)
//
// A frame has two arguments, or three with a method text drawn from a list
// of texts whose fate is known beforehand: keywords in any case and with
// blanks around them (corrected or asymptotic), and texts the function
// rejects. n is mostly a count, sometimes with a fraction, sometimes
// negative, beyond 32 bits, infinite, NaN or the host's missing value; alpha
// mostly a level in (0, 0.1], sometimes 0, -0, above 0.1, negative, NaN or
// missing. What the direct side expects: n missing rejects argument 1;
// alpha missing, below 0 or above 0.1 rejects argument 2; a rejected text
// argument 3; otherwise the routine's value at n truncated toward zero, no
// value where that truncation is not a 32-bit count or the routine gives
// none.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cv/critical_value.h"
#include "standin/call.h"
#include "standin/host_environment.h"
#include "standin/module.h"

namespace {

enum class Fate { corrected, asymptotic, rejected };

struct MethodText {
    std::string_view text;
    Fate fate;
};

// Texts and what the function makes of them, by its documented rules: a
// keyword or a run of adjacent keywords of at most 9 characters once blanks
// are trimmed, in any case; the run's first keyword names the method.
constexpr std::array<MethodText, 22> METHOD_TEXTS = {{
    {"C", Fate::corrected},          {"c", Fate::corrected},           {"CORR", Fate::corrected},
    {"correct", Fate::corrected},    {"  Corrected ", Fate::corrected}, {"C CORR", Fate::corrected},
    {"L", Fate::asymptotic},         {"l", Fate::asymptotic},          {"LJUNG", Fate::asymptotic},
    {" ljung   ", Fate::asymptotic}, {"L C", Fate::asymptotic},        {"l c corr", Fate::asymptotic},
    {"", Fate::rejected},            {"   ", Fate::rejected},          {"X", Fate::rejected},
    {"LJ", Fate::rejected},          {"L  C", Fate::rejected},         {"CORRECTEDX", Fate::rejected},
    {"\tL", Fate::rejected},         {"C\x01", Fate::rejected},        {"CORRECTED CORRECTED", Fate::rejected},
    {"ljungcorr", Fate::rejected},
}};

constexpr std::uint64_t MISSING_BITS = 0xFFFFD10000000000;
const double MISSING = std::bit_cast<double>(MISSING_BITS);

struct Options {
    std::uint64_t frames = 100000000;
    unsigned threads = 0;
    std::uint64_t seed = 1;
    bool upcase_via_service = false;
    std::string module = CVMODULE_PATH;
};

[[noreturn]] void usage(const char* problem)
{
    std::fprintf(stderr, "cvmodule_soak: %s\nusage: cvmodule_soak [--frames N] [--threads T] [--seed S] "
                         "[--upcase table|service] [--module PATH]\n", problem);
    std::exit(2);
}

std::uint64_t whole_number(const char* text, std::uint64_t largest)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (text[0] < '0' || text[0] > '9' || *end != '\0' || errno != 0 || value > largest) {
        usage("a count must be a whole number in range");
    }
    return value;
}

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc) {
            usage(option == "--frames" || option == "--threads" || option == "--seed" || option == "--upcase" ||
                          option == "--module"
                      ? "an option lacks its value"
                      : "unknown argument");
        }
        const char* value = argv[++i];
        if (option == "--frames") {
            options.frames = whole_number(value, std::numeric_limits<std::uint64_t>::max());
        } else if (option == "--threads") {
            options.threads = static_cast<unsigned>(whole_number(value, 4096));
            if (options.threads == 0) {
                usage("--threads must be at least 1");
            }
        } else if (option == "--seed") {
            options.seed = whole_number(value, std::numeric_limits<std::uint64_t>::max());
        } else if (option == "--upcase") {
            const std::string_view how = value;
            if (how != "table" && how != "service") {
                usage("--upcase is table or service");
            }
            options.upcase_via_service = how == "service";
        } else if (option == "--module") {
            options.module = value;
        } else {
            usage("unknown argument");
        }
    }
    if (options.threads == 0) {
        options.threads = std::max(1U, std::thread::hardware_concurrency());
    }
    return options;
}

// A fraction in [0, 1) from 53 random bits.
double fraction(std::mt19937_64& random)
{
    return static_cast<double>(random() >> 11) * 0x1p-53;
}

double random_n(std::mt19937_64& random)
{
    const std::uint64_t pick = random() % 100;
    if (pick < 70) {  // a count, spread evenly over its digits
        return std::floor(std::exp2(31.0 * fraction(random)));
    }
    if (pick < 80) {
        return std::exp2(31.0 * fraction(random));  // with a fraction
    }
    if (pick < 85) {
        return -std::floor(std::exp2(31.0 * fraction(random)));
    }
    if (pick < 90) {  // the ends of the 32-bit counts and beyond
        return std::array{0.0, 1.0, 2.0, 2147483647.0, 2147483647.5, 2147483648.0, -2147483648.0,
                          -2147483648.5, -2147483649.0, 1e300}[random() % 10];
    }
    if (pick < 94) {
        return std::bit_cast<double>(random());  // any pattern
    }
    return std::array{MISSING, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                      -std::numeric_limits<double>::infinity(), -0.0, 0.5}[random() % 6];
}

double random_alpha(std::mt19937_64& random)
{
    const std::uint64_t pick = random() % 100;
    if (pick < 60) {
        return 0.1 * (1.0 - fraction(random));  // (0, 0.1]
    }
    if (pick < 80) {  // small levels, down to the smallest doubles
        return std::exp2(-1074.0 * fraction(random));
    }
    if (pick < 88) {
        return std::array{0.0, -0.0, 0.1, std::nextafter(0.1, 1.0), 0.05, 0.01, 0.001, 1.0}[random() % 8];
    }
    if (pick < 94) {
        return std::bit_cast<double>(random());
    }
    return std::array{MISSING, std::numeric_limits<double>::quiet_NaN(), -1e-300,
                      std::numeric_limits<double>::infinity()}[random() % 4];
}

struct Expected {
    std::int32_t status;
    double value;
    int rejected;  // 0, or the argument whose invalid bit is set
};

Expected direct(double n, double alpha, const MethodText* method)
{
    const auto bits = [](double x) { return std::bit_cast<std::uint64_t>(x); };
    const auto missing = [&](double x) { return (bits(x) >> 48) == 0xFFFF; };
    if (missing(n)) {
        return {STATUS_INVALID_ARGUMENT, MISSING, 1};
    }
    if (missing(alpha) || alpha < 0.0 || alpha > 0.1) {
        return {STATUS_INVALID_ARGUMENT, MISSING, 2};
    }
    if (method != nullptr && method->fate == Fate::rejected) {
        return {STATUS_INVALID_ARGUMENT, MISSING, 3};
    }
    const double truncated = std::trunc(n);
    if (!(truncated >= -2147483648.0 && truncated <= 2147483647.0)) {
        return {STATUS_NO_RESULT, MISSING, 0};
    }
    const auto count = static_cast<std::int32_t>(truncated);
    const double value = method != nullptr && method->fate == Fate::asymptotic ? ljung_critical_value(&count, &alpha)
                                                                               : corrected_critical_value(&count, &alpha);
    if (missing(value)) {
        return {STATUS_NO_RESULT, MISSING, 0};
    }
    return {STATUS_OK, value, 0};
}

struct Shared {
    FunctionEntry entry = nullptr;
    std::atomic<std::uint64_t> mismatches{0};
    std::mutex report;
    int reported = 0;
};

void report_mismatch(Shared& shared, double n, double alpha, const MethodText* method, std::int32_t status,
                     double value, int rejected, const Expected& want)
{
    const std::lock_guard lock(shared.report);
    if (++shared.reported > 20) {
        return;
    }
    std::fprintf(stderr,
                 "mismatch: n = %.17g, alpha = %.17g, method %s%s%s: host path status %d, value %.17g, rejected %d; "
                 "direct status %d, value %.17g, rejected %d\n",
                 n, alpha, method ? "'" : "", method ? std::string(method->text).c_str() : "(none)", method ? "'" : "",
                 status, value, rejected, want.status, want.value, want.rejected);
}

void soak(Shared& shared, std::uint64_t seed, std::uint64_t frames)
{
    std::mt19937_64 random(seed);
    // One frame of two arguments and one per method text, reused: a frame's
    // numbers are replaced in place and its flags cleared before each call.
    standin::PreparedCall two_arguments(std::vector<standin::Argument>{0.0, 0.0});
    std::vector<std::unique_ptr<standin::PreparedCall>> three_arguments;
    three_arguments.reserve(METHOD_TEXTS.size());
    for (const MethodText& method : METHOD_TEXTS) {
        three_arguments.push_back(std::make_unique<standin::PreparedCall>(
            std::vector<standin::Argument>{0.0, 0.0, std::string(method.text)}));
    }
    std::uint64_t mismatches = 0;
    for (std::uint64_t i = 0; i < frames; ++i) {
        const double n = random_n(random);
        const double alpha = random_alpha(random);
        const std::uint64_t pick = random() % (METHOD_TEXTS.size() + 4);
        const MethodText* method = pick < METHOD_TEXTS.size() ? &METHOD_TEXTS[pick] : nullptr;
        standin::PreparedCall& call = method != nullptr ? *three_arguments[pick] : two_arguments;
        call.set_number(0, n);
        call.set_number(1, alpha);
        call.clear_flags();

        double value = 0.0;
        const std::int32_t status = shared.entry(call.frame(), &value);
        int rejected = 0;
        int flagged = 0;
        for (int a = 0; a < call.argument_count(); ++a) {
            if ((call.frame()->arguments[a].invalid & ARGUMENT_INVALID) != 0) {
                rejected = a + 1;
                ++flagged;
            }
        }
        const Expected want = direct(n, alpha, method);
        if (status != want.status || std::bit_cast<std::uint64_t>(value) != std::bit_cast<std::uint64_t>(want.value) ||
            rejected != want.rejected || flagged > 1) {
            ++mismatches;
            report_mismatch(shared, n, alpha, method, status, value, rejected, want);
        }
    }
    shared.mismatches += mismatches;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    try {
        standin::HostEnvironment host;
        standin::Module module(host, options.module);
        const standin::RegisteredFunction* function = module.find_function("LJUNGCV");
        if (function == nullptr || function->entry == nullptr) {
            std::fprintf(stderr, "cvmodule_soak: %s does not register LJUNGCV\n", options.module.c_str());
            return 1;
        }
        // The host's way of upper-casing is process-wide: one way a run.
        host.set_upcase_via_service(options.upcase_via_service);
        Shared shared;
        shared.entry = function->entry;

        std::printf("soak: %llu frames through %s's LJUNGCV entry on %u threads (seed %llu, upper-case by %s)\n",
                    static_cast<unsigned long long>(options.frames), options.module.c_str(), options.threads,
                    static_cast<unsigned long long>(options.seed), options.upcase_via_service ? "service" : "table");
        std::fflush(stdout);
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> threads;
        for (unsigned t = 0; t < options.threads; ++t) {
            const std::uint64_t share = options.frames / options.threads + (t < options.frames % options.threads ? 1 : 0);
            threads.emplace_back(soak, std::ref(shared), options.seed * 1000003 + t, share);
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::uint64_t mismatches = shared.mismatches.load();
        std::printf("soak: %llu frames, %llu mismatches, %.1f s (%.2f million frames a second)\n",
                    static_cast<unsigned long long>(options.frames), static_cast<unsigned long long>(mismatches),
                    seconds, static_cast<double>(options.frames) / seconds / 1e6);
        return mismatches == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cvmodule_soak: %s\n", error.what());
        return 1;
    }
}
