// Fuzzing the C interface's outlier calls, cvhost_outlier_statistics and
// cvhost_locate_outliers, on any residuals, weights, types, delta, sigma,
// critical value, level, method, capacity and message size, with any array
// NULL. The built module is opened once through libcvhost. Every array and
// the message buffer is a heap block of exactly its size, so ASan stops a
// read or write one element past its end.
//
// Input layout (short inputs are padded with zero bytes):
//   0      options: bit 0 residuals NULL, bit 1 pi NULL, bit 2 effects NULL,
//          bit 3 tstats NULL, bit 4 message NULL, bit 5 host NULL, bit 6 the
//          values are single bytes (b / 16 for b as a signed byte) rather
//          than 64-bit patterns, bit 7 the outlier arrays NULL
//   1-4    type (statistics) and type set (locate), any 32-bit integer
//   5-12   delta, 13-20 sigma, 21-28 critical value, 29-36 alpha: any
//          64-bit patterns
//   37     k, the number of pi weights (at most the values there are)
//   38     capacity, 39 message size
//   40     method: 0 NULL, 1 "C", 2 "L", 3 "LJUNG", 4 "median", else NULL
//   41-    the values: pi_1..pi_k, then the residuals (n = what is left)
//
// Checked on every input:
//   - the status is OK or INVALID_ARGUMENT (the locate stage also
//     NO_RESULT), INVALID_ARGUMENT exactly where the input breaks a rule
//     worked out here, or where the default scale is 0; the module's own
//     status for LJUNGCV(n, alpha, method) decides the locate stage's when
//     it asks for the critical value;
//   - the message is NUL-terminated in its buffer, "" on success, a reason
//     on failure; the caller's residuals and weights are left unchanged;
//   - statistics: a level shift's at the last time are NaN; an innovational
//     outlier's effect is the residual and its statistic the residual over
//     sigma; effects and statistics do not depend on the other being asked;
//   - locate: at most n outliers, at most capacity written and nothing past
//     that, distinct times below n, types from the set, |tstat| above the
//     critical value used; the first is the largest statistic of the
//     statistics call over the set's types (ties to the earlier type, then
//     time); the count does not depend on the capacity.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cvmodule/cvhost.h"
#include "invariant.h"

namespace {

cvhost* host = nullptr;

constexpr std::size_t HEADER_SIZE = 41;
constexpr std::uint64_t SENTINEL = 0x7FF4DEADBEEF0002;
// In the order the locate stage tries them: ties go to the earlier.
constexpr std::int32_t TYPES[] = {CVHOST_OUTLIER_AO, CVHOST_OUTLIER_IO, CVHOST_OUTLIER_LS, CVHOST_OUTLIER_TC};
constexpr std::int32_t ALL_TYPES = CVHOST_OUTLIER_IO | CVHOST_OUTLIER_AO | CVHOST_OUTLIER_LS | CVHOST_OUTLIER_TC;

std::uint64_t read_u64(const std::uint8_t* bytes)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

double read_double(const std::uint8_t* bytes)
{
    return std::bit_cast<double>(read_u64(bytes));
}

std::uint64_t bits_of(double value)
{
    return std::bit_cast<std::uint64_t>(value);
}

// A heap block of exactly `count` elements, or none for NULL.
template <class T>
std::unique_ptr<T[]> block(std::size_t count, bool null)
{
    return null ? nullptr : std::make_unique<T[]>(count == 0 ? 1 : count);
}

bool finite_all(const std::vector<double>& values)
{
    for (const double x : values) {
        if (!std::isfinite(x)) {
            return false;
        }
    }
    return true;
}

bool good_delta(double delta)
{
    return delta > 0.0 && delta < 1.0;
}

bool positive_finite(double x)
{
    return std::isfinite(x) && x > 0.0;
}

// The message holds a NUL inside its buffer; "" on success, else a reason
// (when there is room for one).
void check_message(const char* message, std::size_t size, std::int32_t status)
{
    if (message == nullptr || size == 0) {
        return;
    }
    check(std::memchr(message, '\0', size) != nullptr, "message not NUL-terminated in its buffer");
    if (status == CVHOST_STATUS_OK) {
        check(message[0] == '\0', "a message on success");
    } else if (size > 1) {
        check(message[0] != '\0', "no reason on failure");
    }
}

// A failure the rules above do not predict may only be a default scale of 0.
bool scale_collapsed(const char* message, std::size_t size)
{
    return message == nullptr || size < 200 || std::strstr(message, "median absolute deviation") != nullptr;
}

struct Input {
    std::uint8_t options = 0;
    std::int32_t type = 0;
    double delta = 0, sigma = 0, critical_value = 0, alpha = 0;
    std::size_t k = 0, capacity = 0, message_size = 0;
    const char* method = nullptr;
    std::vector<double> pi, residuals;
    bool option(int bit) const { return (options >> bit) & 1; }
};

Input parse(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t header[HEADER_SIZE] = {};
    if (size > 0) {
        std::memcpy(header, data, std::min(size, HEADER_SIZE));
    }
    Input in;
    in.options = header[0];
    in.type = static_cast<std::int32_t>(read_u64(header + 1) & 0xFFFFFFFF);
    in.delta = read_double(header + 5);
    in.sigma = read_double(header + 13);
    in.critical_value = read_double(header + 21);
    in.alpha = read_double(header + 29);
    static const char* const METHODS[] = {nullptr, "C", "L", "LJUNG", "median"};
    in.capacity = header[38];
    in.message_size = header[39];
    in.method = header[40] < 5 ? METHODS[header[40]] : nullptr;
    std::vector<double> values;
    const std::uint8_t* rest = data + std::min(size, HEADER_SIZE);
    const std::size_t rest_size = size - std::min(size, HEADER_SIZE);
    if (in.option(6)) {
        for (std::size_t i = 0; i < rest_size; ++i) {
            values.push_back(static_cast<double>(static_cast<std::int8_t>(rest[i])) / 16.0);
        }
    } else {
        for (std::size_t i = 0; i + 8 <= rest_size; i += 8) {
            values.push_back(read_double(rest + i));
        }
    }
    in.k = std::min<std::size_t>(header[37], values.size());
    in.pi.assign(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(in.k));
    in.residuals.assign(values.begin() + static_cast<std::ptrdiff_t>(in.k), values.end());
    return in;
}

// The rules both calls share.
bool arrays_bad(const Input& in)
{
    const std::size_t n = in.residuals.size();
    return n == 0 || in.option(0) || (in.k > 0 && in.option(1)) || !finite_all(in.residuals) ||
           (!in.option(1) && !finite_all(in.pi));
}

struct Statistics {
    std::int32_t status;
    std::vector<double> effects, tstats;
};

// One statistics call with both outputs, default sigma.
Statistics statistics_of(const Input& in, std::int32_t type, double sigma)
{
    const std::size_t n = in.residuals.size();
    Statistics s{0, std::vector<double>(n), std::vector<double>(n)};
    s.status = cvhost_outlier_statistics(n, in.residuals.data(), in.k, in.pi.data(), type, in.delta, sigma,
                                         s.effects.data(), s.tstats.data(), nullptr, 0);
    return s;
}

void fuzz_statistics(const Input& in)
{
    const std::size_t n = in.residuals.size();
    auto residuals = block<double>(n, in.option(0));
    auto pi = block<double>(in.k, in.option(1));
    auto effects = block<double>(n, in.option(2));
    auto tstats = block<double>(n, in.option(3));
    auto message = block<char>(in.message_size, in.option(4));
    if (residuals && n > 0) {
        std::memcpy(residuals.get(), in.residuals.data(), n * sizeof(double));
    }
    if (pi && in.k > 0) {
        std::memcpy(pi.get(), in.pi.data(), in.k * sizeof(double));
    }
    const std::int32_t status =
        cvhost_outlier_statistics(n, residuals.get(), in.k, pi.get(), in.type, in.delta, in.sigma, effects.get(),
                                  tstats.get(), message.get(), in.message_size);
    check(status == CVHOST_STATUS_OK || status == CVHOST_STATUS_INVALID_ARGUMENT, "statistics: unknown status");
    check_message(message.get(), in.message_size, status);
    const bool known_type = in.type == CVHOST_OUTLIER_IO || in.type == CVHOST_OUTLIER_AO ||
                            in.type == CVHOST_OUTLIER_LS || in.type == CVHOST_OUTLIER_TC;
    const bool sigma_bad = !std::isnan(in.sigma) && !positive_finite(in.sigma);
    const bool bad = arrays_bad(in) || !known_type || (in.type == CVHOST_OUTLIER_TC && !good_delta(in.delta)) ||
                     sigma_bad;
    if (bad) {
        check(status == CVHOST_STATUS_INVALID_ARGUMENT, "statistics: bad input accepted");
        return;
    }
    if (status != CVHOST_STATUS_OK) {
        check(std::isnan(in.sigma) && scale_collapsed(message.get(), in.message_size),
              "statistics: good input rejected");
        return;
    }
    check(std::memcmp(residuals.get(), in.residuals.data(), n * sizeof(double)) == 0, "residuals changed");
    check(in.k == 0 || std::memcmp(pi.get(), in.pi.data(), in.k * sizeof(double)) == 0, "weights changed");
    const Statistics both = statistics_of(in, in.type, in.sigma);
    check(both.status == CVHOST_STATUS_OK, "statistics: a second call failed");
    for (std::size_t T = 0; T < n; ++T) {
        if (effects) {
            check(bits_of(effects[T]) == bits_of(both.effects[T]), "an effect depends on the statistics asked");
        }
        if (tstats) {
            check(bits_of(tstats[T]) == bits_of(both.tstats[T]), "a statistic depends on the effects asked");
        }
    }
    if (in.type == CVHOST_OUTLIER_LS) {
        check(std::isnan(both.effects[n - 1]) && std::isnan(both.tstats[n - 1]), "a level shift at the last time");
    }
    if (in.type == CVHOST_OUTLIER_IO) {
        for (std::size_t T = 0; T < n; ++T) {
            check(bits_of(both.effects[T]) == bits_of(in.residuals[T]), "IO effect is not the residual");
            if (!std::isnan(in.sigma)) {
                check(bits_of(both.tstats[T]) == bits_of(in.residuals[T] / in.sigma), "IO statistic is not e / sigma");
            }
        }
    }
}

void fuzz_locate(const Input& in)
{
    const std::size_t n = in.residuals.size();
    const std::size_t room = in.capacity + 1;  // one element past the capacity, to see it untouched
    auto residuals = block<double>(n, in.option(0));
    auto pi = block<double>(in.k, in.option(1));
    auto index = block<std::size_t>(room, in.option(7));
    auto type = block<std::int32_t>(room, in.option(7));
    auto effect = block<double>(room, in.option(7));
    auto tstat = block<double>(room, in.option(7));
    auto message = block<char>(in.message_size, in.option(4));
    if (residuals && n > 0) {
        std::memcpy(residuals.get(), in.residuals.data(), n * sizeof(double));
    }
    if (pi && in.k > 0) {
        std::memcpy(pi.get(), in.pi.data(), in.k * sizeof(double));
    }
    if (index) {
        for (std::size_t i = 0; i < room; ++i) {
            index[i] = SENTINEL;
            type[i] = -1;
            effect[i] = std::bit_cast<double>(SENTINEL);
            tstat[i] = std::bit_cast<double>(SENTINEL);
        }
    }
    cvhost* const h = in.option(5) ? nullptr : host;
    std::size_t count = SENTINEL;
    double used = 0;
    const std::int32_t status = cvhost_locate_outliers(
        h, n, residuals.get(), in.k, pi.get(), in.type, in.delta, in.alpha, in.method, in.critical_value, in.capacity,
        index.get(), type.get(), effect.get(), tstat.get(), &count, &used, message.get(), in.message_size);
    check(status == CVHOST_STATUS_OK || status == CVHOST_STATUS_INVALID_ARGUMENT ||
              status == CVHOST_STATUS_NO_RESULT,
          "locate: unknown status");
    check_message(message.get(), in.message_size, status);
    if (index) {
        check(index[in.capacity] == SENTINEL && type[in.capacity] == -1 &&
                  bits_of(effect[in.capacity]) == SENTINEL && bits_of(tstat[in.capacity]) == SENTINEL,
              "locate: written past the capacity");
    }

    const bool types_bad = in.type == 0 || (in.type & ~ALL_TYPES) != 0;
    const bool bad = arrays_bad(in) || types_bad || ((in.type & CVHOST_OUTLIER_TC) != 0 && !good_delta(in.delta)) ||
                     (std::isnan(in.critical_value) ? h == nullptr : !positive_finite(in.critical_value));
    bool module_failed = false;
    if (bad) {
        check(status == CVHOST_STATUS_INVALID_ARGUMENT, "locate: bad input accepted");
    } else if (std::isnan(in.critical_value)) {
        double value = 0;
        const std::int32_t module_status =
            cvhost_ljungcv(host, static_cast<double>(n), in.alpha, in.method, &value, nullptr);
        module_failed = module_status != CVHOST_STATUS_OK;
        if (module_failed) {
            check(status == module_status, "locate: not the module's status for its critical value");
        } else if (status == CVHOST_STATUS_OK) {
            check(bits_of(used) == bits_of(value), "locate: not the module's critical value");
        }
    }
    if (status != CVHOST_STATUS_OK) {
        check(count == 0 && std::isnan(used), "locate: a count or critical value on failure");
        check(bad || module_failed ||
                  (status == CVHOST_STATUS_INVALID_ARGUMENT && scale_collapsed(message.get(), in.message_size)),
              "locate: good input rejected");
        return;
    }
    check(!bad, "locate: bad input accepted");
    check(count <= n, "locate: more outliers than times");
    check(positive_finite(used), "locate: critical value not finite positive");
    check(std::memcmp(residuals.get(), in.residuals.data(), n * sizeof(double)) == 0, "residuals changed");

    std::size_t again = SENTINEL;
    cvhost_locate_outliers(h, n, residuals.get(), in.k, pi.get(), in.type, in.delta, in.alpha, in.method,
                           in.critical_value, 0, nullptr, nullptr, nullptr, nullptr, &again, nullptr, nullptr, 0);
    check(again == count, "locate: the count depends on the capacity");
    if (!index || count == 0) {
        return;
    }
    const std::size_t written = std::min(count, in.capacity);
    std::vector<bool> seen(n, false);
    for (std::size_t i = 0; i < written; ++i) {
        check(index[i] < n && !seen[index[i]], "locate: a time out of range or taken twice");
        seen[index[i]] = true;
        check((type[i] & in.type) != 0 && std::has_single_bit(static_cast<std::uint32_t>(type[i])),
              "locate: a type not in the set");
        check(std::fabs(tstat[i]) > used, "locate: a statistic not above the critical value");
    }
    if (written == 0) {
        return;
    }
    // The first outlier is the largest statistic on the caller's residuals.
    double largest = -1.0;
    std::size_t at = 0;
    std::int32_t of = 0;
    double effect_there = 0;
    for (const std::int32_t t : TYPES) {
        if ((in.type & t) == 0) {
            continue;
        }
        const Statistics s = statistics_of(in, t, std::nan(""));
        check(s.status == CVHOST_STATUS_OK, "statistics fail where the locate stage succeeds");
        for (std::size_t T = 0; T < n; ++T) {
            if (std::fabs(s.tstats[T]) > largest) {
                largest = std::fabs(s.tstats[T]);
                at = T;
                of = t;
                effect_there = s.effects[T];
            }
        }
    }
    check(index[0] == at && type[0] == of && bits_of(effect[0]) == bits_of(effect_there) &&
              std::fabs(tstat[0]) == largest,
          "locate: the first outlier is not the largest statistic");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    char message[512];
    host = cvhost_open(CVMODULE_PATH, message, sizeof message);
    if (host == nullptr) {
        std::fprintf(stderr, "cannot open the module: %s\n", message);
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Input in = parse(data, size);
    fuzz_statistics(in);
    fuzz_locate(in);
    return 0;
}
