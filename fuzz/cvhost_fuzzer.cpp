// Fuzzing the C interface's batch, stretch, explanation and field calls as
// an embedder makes them: cvhost_assess_many, cvhost_limits, cvhost_explain
// and cvhost_info_field on a handle of the built module.
//
// Every array and text the calls see lies in a heap block of exactly its
// size, so ASan stops a read or write one element past it: output arrays of
// exactly count (or capacity) elements, output texts of exactly the buffer
// size given, the method text of exactly its bytes up to the first NUL and
// that NUL (the bytes after an embedded NUL are never the library's).
//
// Input layout (short inputs read as zero bytes):
//   0      the call: 0 assess_many, 1 limits, 2 explain, 3 info_field (mod 4)
//   1      bits: 0 NULL handle, 1 NULL method; 2-7 NULL arrays (per call)
//   2      how often the method text repeats (1 + this), for long texts
//   then   the call's own fields (below); numbers are "values": a byte below
//          0x80 picks from SPECIAL_VALUES, any other is followed by 8 bytes
//          of an IEEE double (little-endian)
//   last   the method text: the rest of the input, any bytes
//
//   assess_many  count (a byte), then count pairs of values n, alpha
//   limits       capacity (a byte, mod 16), the value alpha
//   explain      values n and alpha, three integers (status, rejected,
//                range: a byte below 0x80 picks from SPECIAL_INTEGERS, any
//                other is followed by 4 bytes), the buffer size (2 bytes;
//                NULL bit 2 makes it a NULL buffer of size 0)
//   info_field   the index (a byte below 0x80 is the index, any other is
//                followed by 8 bytes of it)
//
// Checked: the answers with a NULL handle or NULL n/alpha are the documented
// ones; a batch answers what one-by-one cvhost_ljungcv calls and one-element
// batches answer, with any outputs left NULL; a method text longer than the
// host accepts once trimmed is rejected; stretches run from 1 to
// 2147483647 without a gap, each range holds at its ends, and exactly the
// stretches that fit are written; an explanation is written like snprintf,
// is empty for a value that holds and has no control byte; the fields are
// those of cvhost_module_info, NULL past the last.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "cvmodule/cvhost.h"
#include "invariant.h"

namespace {

cvhost* handle = nullptr;
std::string module_info;  // cvhost_module_info's text, for the fields

constexpr std::uint64_t MISSING_BITS = 0xFFFFD10000000000;
constexpr double LARGEST_COUNT = 2147483647.0;
constexpr std::size_t LONGEST_METHOD = 9;  // once trimmed of blanks

constexpr std::array<double, 32> SPECIAL_VALUES = {
    0.0, 1.0, 2.0, 3.0, 10.0, 10.5, 100.0, 1000.0, 1001.0, 1e6, LARGEST_COUNT, 2147483648.0, -1.0, -0.0,
    std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(), std::bit_cast<double>(MISSING_BITS), 0.05, 0.01, 0.1,
    0x1.999999999999bp-4 /* the double after 0.1 */, 0.001, 1e-16, 3e-16, 5e-324, 1e-300, -1e-300, 0.099, 0.0505, 389.0, 1e15,
};

constexpr std::array<std::int32_t, 12> SPECIAL_INTEGERS = {
    CVHOST_STATUS_OK, CVHOST_STATUS_NO_RESULT, CVHOST_STATUS_INVALID_ARGUMENT, 1, 2, 3, 4, -1,
    std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), 120834, 0x7F,
};

// Reads the input front to back; past its end every byte is zero.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }

    std::uint64_t bytes(int count)
    {
        std::uint64_t bits = 0;
        for (int i = 0; i < count; ++i) {
            bits |= static_cast<std::uint64_t>(byte()) << (8 * i);
        }
        return bits;
    }

    double value()
    {
        const std::uint8_t pick = byte();
        return pick < 0x80 ? SPECIAL_VALUES[pick % SPECIAL_VALUES.size()] : std::bit_cast<double>(bytes(8));
    }

    std::int32_t integer()
    {
        const std::uint8_t pick = byte();
        return pick < 0x80 ? SPECIAL_INTEGERS[pick % SPECIAL_INTEGERS.size()]
                           : static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes(4)));
    }

    std::string rest()
    {
        std::string text;
        if (position_ < size_) {
            text.assign(reinterpret_cast<const char*>(data_ + position_), size_ - position_);
        }
        position_ = size_;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

std::uint64_t bits_of(double value)
{
    return std::bit_cast<std::uint64_t>(value);
}

// An array of exactly `count` elements, each `fill`; a zero-length one is
// still its own block, so that any write to it is caught.
template <typename T>
std::unique_ptr<T[]> block(std::size_t count, T fill)
{
    auto array = std::make_unique<T[]>(count);
    std::fill_n(array.get(), count, fill);
    return array;
}

// The method as the C interface receives it: NULL, or the text up to its
// first NUL in a block of exactly those bytes and the NUL.
struct Method {
    std::unique_ptr<char[]> chars;
    const char* text() const { return chars.get(); }
};

Method method_of(bool null_method, const std::string& piece, std::size_t repeats)
{
    Method method;
    if (null_method) {
        return method;
    }
    std::string text;
    for (std::size_t i = 0; i < repeats; ++i) {
        text += piece;
    }
    text.resize(std::strlen(text.c_str()));
    method.chars = block<char>(text.size() + 1, '\0');
    std::memcpy(method.chars.get(), text.data(), text.size());
    return method;
}

// Longer than the host accepts once trimmed of blanks on both sides.
bool too_long(const char* method)
{
    if (method == nullptr) {
        return false;
    }
    const std::string text(method);
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    return text.find_last_not_of(' ') - first + 1 > LONGEST_METHOD;
}

struct Outcome {
    double value;
    std::int32_t status;
    std::int32_t rejected;
    std::int32_t range;
};

Outcome assess_one(cvhost* host, double n, double alpha, const char* method)
{
    Outcome outcome{};
    cvhost_assess_many(host, 1, &n, &alpha, method, &outcome.value, &outcome.status, &outcome.rejected,
                       &outcome.range);
    return outcome;
}

void fuzz_assess_many(Input& input, cvhost* host, std::uint8_t nulls, std::size_t repeats, bool null_method)
{
    const std::size_t count = input.byte();
    auto n = block<double>(count, 0.0);
    auto alpha = block<double>(count, 0.0);
    for (std::size_t i = 0; i < count; ++i) {
        n[i] = input.value();
        alpha[i] = input.value();
    }
    const Method method = method_of(null_method, input.rest(), repeats);
    const bool null_n = (nulls & 0x04) != 0;
    const bool null_alpha = (nulls & 0x08) != 0;

    // The outputs the input asks for, each possibly NULL, marked beforehand.
    constexpr double UNWRITTEN = 12345.0;
    constexpr std::int32_t UNWRITTEN_INT = -77;
    auto values = (nulls & 0x10) != 0 ? nullptr : block<double>(count, UNWRITTEN);
    auto statuses = (nulls & 0x20) != 0 ? nullptr : block<std::int32_t>(count, UNWRITTEN_INT);
    auto rejected = (nulls & 0x40) != 0 ? nullptr : block<std::int32_t>(count, UNWRITTEN_INT);
    auto ranges = (nulls & 0x80) != 0 ? nullptr : block<std::int32_t>(count, UNWRITTEN_INT);
    cvhost_assess_many(host, count, null_n ? nullptr : n.get(), null_alpha ? nullptr : alpha.get(), method.text(),
                       values.get(), statuses.get(), rejected.get(), ranges.get());

    for (std::size_t i = 0; i < count; ++i) {
        Outcome expected{};
        if (host == nullptr || null_n || null_alpha) {
            expected = {std::bit_cast<double>(MISSING_BITS), CVHOST_STATUS_NO_RESULT, 0, CVHOST_RANGE_HOLDS};
        } else {
            // One by one through the 1.0 call, and as a batch of one.
            int one_rejected = -1;
            double one_value = 0.0;
            const std::int32_t one_status =
                cvhost_ljungcv(host, n[i], alpha[i], method.text(), &one_value, &one_rejected);
            expected = assess_one(host, n[i], alpha[i], method.text());
            check(one_status == expected.status && bits_of(one_value) == bits_of(expected.value) &&
                      one_rejected == expected.rejected,
                  "a batch of one answers what cvhost_ljungcv answers");
            check(expected.rejected >= 0 && expected.rejected <= 3, "the rejected argument is 0 to 3");
            check((expected.rejected != 0) == (expected.status == CVHOST_STATUS_INVALID_ARGUMENT),
                  "an argument is rejected exactly when the status says so");
            if (expected.status == CVHOST_STATUS_OK) {
                check(std::isfinite(expected.value) && cvhost_is_missing(expected.value) == 0,
                      "status 0 comes with a finite value");
            } else {
                check(expected.status == CVHOST_STATUS_NO_RESULT || expected.status == CVHOST_STATUS_INVALID_ARGUMENT,
                      "the status is 0, 120833 or 120836");
                check(bits_of(expected.value) == MISSING_BITS, "a failure answers the missing value itself");
            }
            check(expected.range == CVHOST_RANGE_HOLDS || expected.range == CVHOST_RANGE_BELOW_PREVIOUS_N ||
                      expected.range == CVHOST_RANGE_BELOW_LARGER_LEVEL,
                  "a batch's verdict is holds or one of the two out-of-range ones");
            check(expected.status == CVHOST_STATUS_OK || expected.range == CVHOST_RANGE_HOLDS,
                  "a point without a value holds in a batch");
            check(!too_long(method.text()) || expected.status == CVHOST_STATUS_INVALID_ARGUMENT,
                  "a method text too long once trimmed is rejected");
        }
        if (values) {
            check(bits_of(values[i]) == bits_of(expected.value), "the batch's value is the single call's");
        }
        if (statuses) {
            check(statuses[i] == expected.status, "the batch's status is the single call's");
        }
        if (rejected) {
            check(rejected[i] == expected.rejected, "the batch's rejected argument is the single call's");
        }
        if (ranges) {
            check(ranges[i] == expected.range, "the batch's verdict is the single call's");
        }
    }
}

void fuzz_limits(Input& input, cvhost* host, std::uint8_t nulls, std::size_t repeats, bool null_method)
{
    const std::size_t capacity = input.byte() % 16;
    const double alpha = input.value();
    const Method method = method_of(null_method, input.rest(), repeats);

    constexpr double UNWRITTEN = -5.0;
    constexpr std::int32_t UNWRITTEN_INT = -77;
    constexpr std::size_t UNWRITTEN_COUNT = 999999;
    auto first = (nulls & 0x04) != 0 ? nullptr : block<double>(capacity, UNWRITTEN);
    auto last = (nulls & 0x08) != 0 ? nullptr : block<double>(capacity, UNWRITTEN);
    auto ranges = (nulls & 0x10) != 0 ? nullptr : block<std::int32_t>(capacity, UNWRITTEN_INT);
    std::size_t count = UNWRITTEN_COUNT;
    const bool null_count = (nulls & 0x20) != 0;
    const std::int32_t status = cvhost_limits(host, method.text(), alpha, capacity, first.get(), last.get(),
                                              ranges.get(), null_count ? nullptr : &count);

    const auto untouched = [&](std::size_t from) {
        for (std::size_t i = from; i < capacity; ++i) {
            check((!first || first[i] == UNWRITTEN) && (!last || last[i] == UNWRITTEN) &&
                      (!ranges || ranges[i] == UNWRITTEN_INT),
                  "nothing is written past the stretches there are");
        }
    };
    if (host == nullptr) {
        check(status == CVHOST_STATUS_NO_RESULT, "no handle: no result");
        check(null_count || count == 0, "no handle: no stretches");
        untouched(0);
        return;
    }
    // The level or the method rejected: as LJUNGCV rejects them at any count.
    double value = 0.0;
    int rejected = 0;
    cvhost_ljungcv(host, 10.0, alpha, method.text(), &value, &rejected);
    if (rejected == 2 || rejected == 3) {
        check(status == CVHOST_STATUS_INVALID_ARGUMENT, "a rejected level or method is an invalid argument");
        check(null_count || count == 0, "a rejected level or method has no stretches");
        untouched(0);
        return;
    }
    check(status == CVHOST_STATUS_OK, "an accepted level and method have their stretches");

    // Every stretch, from a call with room for all of them.
    std::size_t total = 0;
    check(cvhost_limits(host, method.text(), alpha, 0, nullptr, nullptr, nullptr, &total) == CVHOST_STATUS_OK,
          "asking only for the count succeeds");
    check(total >= 1, "there is at least one stretch");
    check(null_count || count == total, "the count is the number of stretches there are");
    auto all_first = block<double>(total, 0.0);
    auto all_last = block<double>(total, 0.0);
    auto all_ranges = block<std::int32_t>(total, 0);
    std::size_t again = 0;
    cvhost_limits(host, method.text(), alpha, total, all_first.get(), all_last.get(), all_ranges.get(), &again);
    check(again == total, "the stretches are the same on every call");
    check(all_first[0] == 1.0 && all_last[total - 1] == LARGEST_COUNT, "the stretches run from 1 to 2147483647");
    for (std::size_t i = 0; i < total; ++i) {
        check(all_first[i] <= all_last[i] && all_first[i] == std::floor(all_first[i]) &&
                  all_last[i] == std::floor(all_last[i]),
              "a stretch is a run of whole counts");
        check(all_ranges[i] >= CVHOST_RANGE_HOLDS && all_ranges[i] <= CVHOST_RANGE_NO_VALUE,
              "a stretch's range is a CVHOST_RANGE_ value");
        if (i > 0) {
            check(all_first[i] == all_last[i - 1] + 1.0, "the stretches leave no gap");
            check(all_ranges[i] != all_ranges[i - 1], "neighbouring stretches differ");
        }
    }
    // At the ends of the first stretches, the batch's verdict is the stretch's.
    for (std::size_t i = 0; i < std::min<std::size_t>(total, 6); ++i) {
        for (const double n : {all_first[i], all_last[i]}) {
            const Outcome outcome = assess_one(host, n, alpha, method.text());
            const std::int32_t range = outcome.status == CVHOST_STATUS_OK ? outcome.range : CVHOST_RANGE_NO_VALUE;
            check(range == all_ranges[i], "a stretch's range holds at its ends");
        }
    }
    const std::size_t written = std::min(capacity, total);
    for (std::size_t i = 0; i < written; ++i) {
        check((!first || first[i] == all_first[i]) && (!last || last[i] == all_last[i]) &&
                  (!ranges || ranges[i] == all_ranges[i]),
              "the stretches that fit are written");
    }
    untouched(written);
}

void fuzz_explain(Input& input, cvhost* host, std::uint8_t nulls, std::size_t repeats, bool null_method)
{
    const double n = input.value();
    const double alpha = input.value();
    const std::int32_t status = input.integer();
    const std::int32_t rejected = input.integer();
    const std::int32_t range = input.integer();
    const auto size_given = static_cast<std::size_t>(input.bytes(2));
    const std::size_t size = (nulls & 0x04) != 0 ? 0 : size_given;  // bit 2: a NULL buffer
    const Method method = method_of(null_method, input.rest(), repeats);

    const std::size_t length = cvhost_explain(host, n, alpha, method.text(), status, rejected, range, nullptr, 0);
    auto whole = block<char>(length + 1, '\x7f');
    check(cvhost_explain(host, n, alpha, method.text(), status, rejected, range, whole.get(), length + 1) == length,
          "the length is the same for any buffer");
    check(std::strlen(whole.get()) == length, "the whole text fits a buffer of its length and a NUL");
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(whole[i]);
        check(c >= 0x20 && c != 0x7f, "an explanation shows no control byte");
    }
    if (status == CVHOST_STATUS_OK && range == CVHOST_RANGE_HOLDS) {
        check(length == 0, "a value that holds needs no explanation");
    }
    if (status == CVHOST_STATUS_OK &&
        (range == CVHOST_RANGE_BELOW_PREVIOUS_N || range == CVHOST_RANGE_BELOW_LARGER_LEVEL)) {
        check(length > 0, "a value out of range is explained");
    }
    if (size == 0) {
        return;
    }
    // Like snprintf into a buffer of exactly `size` bytes.
    auto buffer = block<char>(size, '\x7f');
    check(cvhost_explain(host, n, alpha, method.text(), status, rejected, range, buffer.get(), size) == length,
          "a small buffer gives the whole length back");
    const std::size_t kept = std::min(length, size - 1);
    check(std::memcmp(buffer.get(), whole.get(), kept) == 0 && buffer[kept] == '\0',
          "a small buffer holds the text's start and a NUL");
}

void fuzz_info_field(Input& input, cvhost* host, std::uint8_t nulls)
{
    const std::uint8_t pick = input.byte();
    const std::size_t index = pick < 0x80 ? pick : static_cast<std::size_t>(input.bytes(8));
    const char unset = 0;
    const char* name = &unset;
    const char* value = &unset;
    const bool null_name = (nulls & 0x04) != 0;
    const bool null_value = (nulls & 0x08) != 0;
    const int exists = cvhost_info_field(host, index, null_name ? nullptr : &name, null_value ? nullptr : &value);

    // The fields, in order, are the lines of cvhost_module_info.
    std::size_t fields = 0;
    if (host != nullptr) {
        std::string lines;
        const char* field_name = nullptr;
        const char* field_value = nullptr;
        while (cvhost_info_field(host, fields, &field_name, &field_value) == 1) {
            check(field_name != nullptr && field_value != nullptr, "a field has a name and a value");
            lines.append(field_name).append(": ").append(field_value).append("\n");
            ++fields;
            check(fields <= 10000, "the fields end");
        }
        check(lines == module_info, "the fields are cvhost_module_info's lines");
    }
    check(exists == (index < fields ? 1 : 0), "a field exists exactly below the count");
    if (exists == 0) {
        check((null_name || name == nullptr) && (null_value || value == nullptr), "past the last field: NULL");
    } else {
        check((null_name || (name != &unset && name != nullptr)) && (null_value || (value != &unset && value != nullptr)),
              "a field's name and value are given");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    char message[512];
    handle = cvhost_open(CVMODULE_PATH, message, sizeof message);
    if (handle == nullptr) {
        std::fprintf(stderr, "cvhost fuzzer: %s\n", message);
        std::exit(1);
    }
    std::vector<char> buffer(cvhost_module_info(handle, nullptr, 0) + 1);
    cvhost_module_info(handle, buffer.data(), buffer.size());
    module_info.assign(buffer.data());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input input(data, size);
    const std::uint8_t call = input.byte() % 4;
    const std::uint8_t nulls = input.byte();
    const std::size_t repeats = 1 + static_cast<std::size_t>(input.byte());
    cvhost* host = (nulls & 0x01) != 0 ? nullptr : handle;
    const bool null_method = (nulls & 0x02) != 0;
    switch (call) {
    case 0:
        fuzz_assess_many(input, host, nulls, repeats, null_method);
        break;
    case 1:
        fuzz_limits(input, host, nulls, repeats, null_method);
        break;
    case 2:
        fuzz_explain(input, host, nulls, repeats, null_method);
        break;
    default:
        fuzz_info_field(input, host, nulls);
        break;
    }
    return 0;
}
