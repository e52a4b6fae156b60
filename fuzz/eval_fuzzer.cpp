// Fuzzing LJUNGCV's evaluation entry the way the host calls it.
//
// The built module is loaded through the stand-in host (mcn_main, the
// ModuleDescriptor, module_query, the entry in the FunctionEntriesRecord).
// Each input becomes one CallFrame of exactly 2 or 3 argument slots, with
// every value in its own heap block of exactly its size: ASan poisons the
// byte after each, so reading one byte past the method text, past the last
// slot or past a double stops the run.
//
// Input layout (short inputs are padded with zero bytes):
//   0-7    n, any 64-bit pattern (little-endian)
//   8-15   alpha, any 64-bit pattern
//   16     options: bit 0 three arguments, bit 1 upper-case through the
//          host's service instead of its table
//   17     fill byte of every host-owned byte of the frame and descriptor
//   18-20  the invalid flag bytes of arguments 1 to 3 before the call
//   21-    the method text (three arguments only), any bytes, any length
//
// Checked on every input:
//   - the status is 0, 120833 or 120836; status 0 comes with a finite value
//     without the missing pattern, any other status with MissingValue itself;
//   - only bit 0 of a flag byte may change, only from 0 to 1, in at most one
//     argument; nothing else in the frame, the descriptor, the values or the
//     method text changes;
//   - the host's upper-case service is used (its usage mark set) exactly
//     when the host upper-cases through it and the text reached the keyword
//     lookup, and never when the host upper-cases by table;
//   - a re-evaluation on a fresh frame gives the same status, the same bits
//     and flags the argument that the checks n, alpha, method reject (worked
//     out here from the rules), or none;
//   - an accepted method text gives the bits of its canonical keyword ("L"
//     or no third argument), and n gives the bits of n truncated.
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_toolkit.h"
#include "standin/call.h"
#include "standin/host_environment.h"
#include "standin/module.h"
#include "invariant.h"

namespace {

standin::HostEnvironment* host = nullptr;
standin::Module* module = nullptr;
FunctionEntry entry = nullptr;

constexpr std::size_t HEADER_SIZE = 21;
constexpr std::uint64_t RESULT_SENTINEL = 0x7FF4DEADBEEF0001;

std::uint64_t read_u64(const std::uint8_t* bytes)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

std::uint64_t bits_of(double value)
{
    return std::bit_cast<std::uint64_t>(value);
}

// The method texts the keyword list accepts once trimmed and upper-cased:
// each keyword, and the runs of adjacent keywords that fit in 9 characters.
constexpr std::array<std::string_view, 9> ACCEPTED_METHODS = {
    "L", "C", "CORR", "CORRECT", "LJUNG", "CORRECTED", "L C", "L C CORR", "C CORR",
};

// The argument the entry must reject (1 to 3), or 0, by the rules: n
// missing; alpha missing, below 0 or above 0.1; the method text, trimmed of
// blanks, empty, over 9 bytes, or not an accepted text once upper-cased by
// the host (ASCII letters only). `method` receives the upper-cased text.
int expected_rejection(double n, double alpha, const std::string* text, std::string* method)
{
    if (is_missing(n)) {
        return 1;
    }
    if (is_missing(alpha) || alpha < 0.0 || alpha > 0.1) {
        return 2;
    }
    if (text == nullptr) {
        return 0;
    }
    const std::size_t first = text->find_first_not_of(' ');
    if (first == std::string::npos) {
        return 3;
    }
    const std::size_t last = text->find_last_not_of(' ');
    if (last - first + 1 > 9) {
        return 3;
    }
    *method = text->substr(first, last - first + 1);
    for (char& c : *method) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    for (std::string_view accepted : ACCEPTED_METHODS) {
        if (*method == accepted) {
            return 0;
        }
    }
    return 3;
}

standin::Evaluation evaluate_fresh(const std::vector<standin::Argument>& arguments)
{
    standin::PreparedCall call(arguments);
    return call.invoke(entry);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    // Both live for the whole process, as the host and its loaded module do.
    host = new standin::HostEnvironment();
    module = new standin::Module(*host, CVMODULE_PATH);
    const standin::RegisteredFunction* function = module->find_function("LJUNGCV");
    if (function == nullptr || function->entry == nullptr) {
        std::fprintf(stderr, "eval fuzzer: %s does not register LJUNGCV\n", CVMODULE_PATH);
        std::exit(1);
    }
    entry = function->entry;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t header[HEADER_SIZE] = {};
    std::memcpy(header, data, size < HEADER_SIZE ? size : HEADER_SIZE);
    const std::uint8_t* text_bytes = size > HEADER_SIZE ? data + HEADER_SIZE : nullptr;
    const std::size_t text_length = size > HEADER_SIZE ? size - HEADER_SIZE : 0;

    const int count = (header[16] & 1) != 0 ? 3 : 2;
    const bool via_service = (header[16] & 2) != 0;
    const std::uint8_t fill = header[17];
    host->set_upcase_via_service(via_service);

    // The frame and each value in a block of exactly its size.
    const std::size_t frame_size = call_frame_size(count);
    auto frame_block = std::make_unique<std::uint8_t[]>(frame_size);
    std::memset(frame_block.get(), fill, frame_size);
    auto* frame = reinterpret_cast<CallFrame*>(frame_block.get());
    frame->argument_count = count;

    auto n_block = std::make_unique<std::uint8_t[]>(sizeof(double));
    auto alpha_block = std::make_unique<std::uint8_t[]>(sizeof(double));
    std::memcpy(n_block.get(), header, sizeof(double));
    std::memcpy(alpha_block.get(), header + 8, sizeof(double));
    frame->arguments[0].value = n_block.get();
    frame->arguments[1].value = alpha_block.get();

    std::unique_ptr<std::uint8_t[]> descriptor_block;
    std::unique_ptr<char[]> chars;
    std::string text;
    if (count == 3) {
        chars = std::make_unique<char[]>(text_length);
        if (text_length > 0) {
            std::memcpy(chars.get(), text_bytes, text_length);
        }
        text.assign(chars.get(), text_length);
        descriptor_block = std::make_unique<std::uint8_t[]>(sizeof(TextDescriptor));
        std::memset(descriptor_block.get(), fill, sizeof(TextDescriptor));
        auto* descriptor = reinterpret_cast<TextDescriptor*>(descriptor_block.get());
        descriptor->length = static_cast<std::int32_t>(text_length);
        descriptor->chars = chars.get();
        frame->arguments[2].value = descriptor;
    }
    std::uint8_t flags_before[MAX_CALL_ARGUMENTS] = {};
    for (int i = 0; i < count; ++i) {
        frame->arguments[i].invalid = header[18 + i];
        flags_before[i] = header[18 + i];
    }

    const std::vector<std::uint8_t> frame_before(frame_block.get(), frame_block.get() + frame_size);
    std::vector<std::uint8_t> descriptor_before;
    if (descriptor_block) {
        descriptor_before.assign(descriptor_block.get(), descriptor_block.get() + sizeof(TextDescriptor));
    }
    host->clear_usage_marks();

    double result = std::bit_cast<double>(RESULT_SENTINEL);
    const std::int32_t status = entry(frame, &result);

    // Status and result.
    check(status == STATUS_OK || status == STATUS_NO_RESULT || status == STATUS_INVALID_ARGUMENT,
          "status is 0, 120833 or 120836");
    if (status == STATUS_OK) {
        check(std::isfinite(result) && !is_missing(result), "status 0 comes with a finite value");
    } else {
        check(bits_of(result) == MISSING_VALUE_BITS, "a failure answers MissingValue itself");
    }

    // The frame: only bit 0 of at most one flag byte, set and never cleared.
    int newly_flagged = 0;
    int flagged_argument = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t after = frame->arguments[i].invalid;
        check((after & ~ARGUMENT_INVALID) == (flags_before[i] & ~ARGUMENT_INVALID),
              "only bit 0 of a flag byte changes");
        check((after & ARGUMENT_INVALID) >= (flags_before[i] & ARGUMENT_INVALID), "a flag is never cleared");
        if (after != flags_before[i]) {
            ++newly_flagged;
            flagged_argument = i + 1;
        }
        frame->arguments[i].invalid = flags_before[i];
    }
    check(newly_flagged <= 1, "at most one argument is flagged");
    check(status == STATUS_INVALID_ARGUMENT || newly_flagged == 0, "only a rejection flags an argument");
    check(std::memcmp(frame_block.get(), frame_before.data(), frame_size) == 0,
          "nothing but flag bits changes in the frame");
    check(std::memcmp(n_block.get(), header, sizeof(double)) == 0, "n is unchanged");
    check(std::memcmp(alpha_block.get(), header + 8, sizeof(double)) == 0, "alpha is unchanged");
    if (count == 3) {
        check(std::memcmp(descriptor_block.get(), descriptor_before.data(), sizeof(TextDescriptor)) == 0,
              "the text descriptor is unchanged");
        check(text_length == 0 || std::memcmp(chars.get(), text_bytes, text_length) == 0,
              "the method text is unchanged");
    }

    // Upper-casing: through the service only when the host offers it.
    const bool upcased_by_service = host->usage_mark(UPCASE_COMPONENT) != 0;
    check(via_service || !upcased_by_service, "no upper-case service call when the host uses its table");

    // The rules, and a re-evaluation on a fresh frame without flags.
    const double n = std::bit_cast<double>(read_u64(header));
    const double alpha = std::bit_cast<double>(read_u64(header + 8));
    std::string method;
    const int rejected = expected_rejection(n, alpha, count == 3 ? &text : nullptr, &method);

    std::vector<standin::Argument> arguments{n, alpha};
    if (count == 3) {
        arguments.emplace_back(text);
    }
    const standin::Evaluation again = evaluate_fresh(arguments);
    check(again.status == status && bits_of(again.value) == bits_of(result), "evaluation is deterministic");
    check(again.rejected_argument() == rejected, "the argument the rules reject is flagged");
    check((rejected != 0) == (status == STATUS_INVALID_ARGUMENT), "a rejection has status 120836");
    check(newly_flagged == 0 || flagged_argument == rejected, "the flagged argument is the rejected one");
    if (via_service) {
        // The word is upper-cased once it has passed the length check.
        const bool reached_word = count == 3 && rejected != 1 && rejected != 2 && !method.empty();
        check(upcased_by_service == reached_word, "the service upper-cases each checked word");
    }
    if (rejected != 0) {
        return 0;
    }

    // Same method, same value: an accepted text computes what its canonical
    // form does, and n counts as n truncated toward zero.
    if (count == 3) {
        const bool asymptotic = method[0] == 'L';
        std::vector<standin::Argument> canonical{n, alpha};
        if (asymptotic) {
            canonical.emplace_back(std::string("L"));
        }
        const standin::Evaluation same = evaluate_fresh(canonical);
        check(same.status == status && bits_of(same.value) == bits_of(result),
              "a method text evaluates as its keyword");
    }
    if (std::fabs(n) < 2147483648.0) {
        arguments[0] = std::trunc(n);
        const standin::Evaluation truncated = evaluate_fresh(arguments);
        check(truncated.status == status && bits_of(truncated.value) == bits_of(result),
              "n is used truncated toward zero");
    }
    return 0;
}
