// The C interface's outlier calls against the core they wrap: the same bits,
// the critical value of the loaded module, NULL arrays, a capacity smaller
// than the count, and the refusals the C interface adds, with their reasons
// (the core's own are its tests').
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/outliers.h"
#include "cvmodule/cvhost.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

struct Handle {
    Handle() : host(cvhost_open(CVMODULE_PATH, message, sizeof message)) {}
    ~Handle() { cvhost_close(host); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    char message[512] = "unset";
    cvhost* host;
};

// Residuals of white noise with a 5 sigma additive outlier at 30 and a level
// shift of 4 sigma from 90 put through an AR(1) filter with pi_1 = 0.5.
struct Series {
    std::vector<double> e;
    std::vector<double> pi{0.5};
    Series()
    {
        std::mt19937_64 bits(2024);
        std::normal_distribution<double> normal;
        for (int t = 0; t < 120; ++t) {
            e.push_back(normal(bits));
        }
        e[30] += 5.0;
        e[31] -= 2.5;
        for (std::size_t t = 90; t < e.size(); ++t) {
            e[t] += t == 90 ? 4.0 : 2.0;
        }
    }
    std::size_t n() const { return e.size(); }
};

std::uint64_t bits(double x)
{
    std::uint64_t b = 0;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

TEST(CvhostOutliers, StatisticsAreTheCoresBits)
{
    const Series s;
    for (const std::int32_t type : {CVHOST_OUTLIER_IO, CVHOST_OUTLIER_AO, CVHOST_OUTLIER_LS, CVHOST_OUTLIER_TC}) {
        for (const double sigma : {NaN, 1.5}) {
            std::vector<double> effects(s.n());
            std::vector<double> tstats(s.n());
            char message[128] = "unset";
            ASSERT_EQ(cvhost_outlier_statistics(s.n(), s.e.data(), 1, s.pi.data(), type, 0.6, sigma, effects.data(),
                                                tstats.data(), message, sizeof message),
                      CVHOST_STATUS_OK);
            EXPECT_STREQ(message, "");
            std::vector<double> core_effects(s.n());
            std::vector<double> core_tstats(s.n());
            core::outlier_statistics(s.e, s.pi, *core::outlier_type_of(type), 0.6, 0,
                                       std::isnan(sigma) ? std::nullopt : std::optional<double>(sigma),
                                       core_effects, core_tstats);
            // Either output alone, the other NULL.
            std::vector<double> only(s.n());
            ASSERT_EQ(cvhost_outlier_statistics(s.n(), s.e.data(), 1, s.pi.data(), type, 0.6, sigma, nullptr,
                                                only.data(), nullptr, 0),
                      CVHOST_STATUS_OK);
            for (std::size_t T = 0; T < s.n(); ++T) {
                EXPECT_EQ(bits(effects[T]), bits(core_effects[T])) << type << " " << T;
                EXPECT_EQ(bits(tstats[T]), bits(core_tstats[T])) << type << " " << T;
                EXPECT_EQ(bits(only[T]), bits(tstats[T])) << type << " " << T;
            }
        }
    }
}

TEST(CvhostOutliers, LocatesWithTheModulesCriticalValue)
{
    Handle handle;
    ASSERT_NE(handle.host, nullptr) << handle.message;
    const Series s;
    const std::int32_t types = CVHOST_OUTLIER_AO | CVHOST_OUTLIER_LS | CVHOST_OUTLIER_TC;
    for (const char* method : {static_cast<const char*>(nullptr), "L"}) {
        double expected_cv = 0;
        ASSERT_EQ(cvhost_ljungcv(handle.host, 120, 0.05, method, &expected_cv, nullptr), CVHOST_STATUS_OK);
        const std::vector<core::Outlier> core =
            core::locate_outliers(s.e, s.pi, *core::OutlierTypes::of_bits(types), 0.7, 0, expected_cv);
        ASSERT_GE(core.size(), 2U);

        std::vector<std::size_t> index(core.size());
        std::vector<std::int32_t> type(core.size());
        std::vector<double> effect(core.size());
        std::vector<double> tstat(core.size());
        std::size_t count = 0;
        double used = 0;
        char message[256] = "unset";
        ASSERT_EQ(cvhost_locate_outliers(handle.host, s.n(), s.e.data(), 1, s.pi.data(), types, 0.7, 0.05, method,
                                         NaN, core.size(), index.data(), type.data(), effect.data(), tstat.data(),
                                         &count, &used, message, sizeof message),
                  CVHOST_STATUS_OK)
            << message;
        EXPECT_EQ(bits(used), bits(expected_cv));
        ASSERT_EQ(count, core.size());
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(index[i], core[i].index);
            EXPECT_EQ(type[i], static_cast<std::int32_t>(core[i].type));
            EXPECT_EQ(bits(effect[i]), bits(core[i].effect));
            EXPECT_EQ(bits(tstat[i]), bits(core[i].statistic));
        }

        // Room for one: the first, and the whole count; the rest untouched.
        std::vector<std::size_t> first(2, 999);
        ASSERT_EQ(cvhost_locate_outliers(handle.host, s.n(), s.e.data(), 1, s.pi.data(), types, 0.7, 0.05, method,
                                         NaN, 1, first.data(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, 0),
                  CVHOST_STATUS_OK);
        EXPECT_EQ(first[0], core[0].index);
        EXPECT_EQ(first[1], 999U);
        EXPECT_EQ(count, core.size());
        // No room and no arrays: the count alone.
        ASSERT_EQ(cvhost_locate_outliers(handle.host, s.n(), s.e.data(), 1, s.pi.data(), types, 0.7, 0.05, method,
                                         NaN, 0, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, 0),
                  CVHOST_STATUS_OK);
        EXPECT_EQ(count, core.size());
    }
    // A critical value given needs no host, and is the one used.
    std::size_t count = 99;
    double used = 0;
    ASSERT_EQ(cvhost_locate_outliers(nullptr, s.n(), s.e.data(), 1, s.pi.data(), types, 0.7, NaN, nullptr, 1e6, 0,
                                     nullptr, nullptr, nullptr, nullptr, &count, &used, nullptr, 0),
              CVHOST_STATUS_OK);
    EXPECT_EQ(count, 0U);
    EXPECT_EQ(used, 1e6);
}

struct Rejected {
    const char* what;
    cvhost* host;  // replaced by the test's handle when non-null
    std::size_t n;
    bool residuals;
    std::size_t k;
    bool pi;
    std::int32_t type;  // one type for the statistics, a set for the locate stage
    double delta;
    double sigma;
    double alpha;
    const char* method;
    double critical_value;
    std::int32_t status;
    const char* message;
};

TEST(CvhostOutliers, RejectsInputWithAReason)
{
    Handle handle;
    ASSERT_NE(handle.host, nullptr) << handle.message;
    cvhost* const H = handle.host;
    const std::int32_t AO = CVHOST_OUTLIER_AO;
    const std::int32_t INVALID = CVHOST_STATUS_INVALID_ARGUMENT;
    const Rejected cases[] = {
        // Both calls.
        {"n 0", H, 0, true, 0, false, AO, 0.7, NaN, 0.05, nullptr, NaN, INVALID, "no residuals (n = 0)"},
        {"NULL residuals", H, 5, false, 0, false, AO, 0.7, NaN, 0.05, nullptr, NaN, INVALID, "residuals is NULL"},
        {"NULL pi", H, 5, true, 2, false, AO, 0.7, NaN, 0.05, nullptr, NaN, INVALID, "pi is NULL but k = 2"},
        {"type 32", H, 5, true, 0, false, 32, 0.7, NaN, 0.05, nullptr, NaN, INVALID, nullptr},
        {"SLS, without a period", H, 5, true, 0, false, CVHOST_OUTLIER_SLS, 0.7, NaN, 0.05, nullptr, NaN, INVALID,
         "CVHOST_OUTLIER_SLS (16) needs the model's seasonal period, which this call does not take: "
         "cvhost_find_outliers does"},
    };
    const Series s;
    for (const Rejected& c : cases) {
        const double* e = c.residuals ? s.e.data() : nullptr;
        const double* pi = c.pi ? s.pi.data() : nullptr;
        char message[256] = "unset";
        EXPECT_EQ(cvhost_outlier_statistics(c.n, e, c.k, pi, c.type, c.delta, c.sigma, nullptr, nullptr, message,
                                            sizeof message),
                  c.status)
            << c.what;
        if (c.message != nullptr) {
            EXPECT_STREQ(message, c.message) << c.what;
        }
        std::size_t count = 7;
        EXPECT_EQ(cvhost_locate_outliers(c.host, c.n, e, c.k, pi, c.type, c.delta, c.alpha, c.method, c.critical_value,
                                         0, nullptr, nullptr, nullptr, nullptr, &count, nullptr, message,
                                         sizeof message),
                  c.status)
            << c.what;
        EXPECT_EQ(count, 0U) << c.what;
        if (c.message != nullptr) {
            EXPECT_STREQ(message, c.message) << c.what;
        }
    }

    char message[256];
    const std::size_t n = s.n();
    // The statistics only.
    EXPECT_EQ(cvhost_outlier_statistics(n, s.e.data(), 0, nullptr, 3, 0.7, NaN, nullptr, nullptr, message,
                                        sizeof message),
              INVALID);
    EXPECT_STREQ(message, "type 3 is not one outlier type: CVHOST_OUTLIER_IO (1), _AO (2), _LS (4) or _TC (8)");

    // The locate stage only: its type set and its critical value.
    const auto locate = [&](cvhost* host, std::int32_t types, double alpha, const char* method, double cv) {
        return cvhost_locate_outliers(host, n, s.e.data(), 0, nullptr, types, 0.7, alpha, method, cv, 0, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr, message, sizeof message);
    };
    EXPECT_EQ(locate(H, 0, 0.05, nullptr, NaN), INVALID);
    EXPECT_STREQ(message, "no outlier type to look for");
    EXPECT_EQ(locate(H, 32 | AO, 0.05, nullptr, NaN), INVALID);
    EXPECT_STREQ(message,
                 "types 34 has a bit that names no outlier type: an OR of CVHOST_OUTLIER_IO (1), _AO (2), _LS (4) or "
                 "_TC (8)");
    EXPECT_EQ(locate(nullptr, AO, 0.05, nullptr, NaN), INVALID);
    EXPECT_STREQ(message, "host is NULL: LJUNGCV's critical value needs the module (or give critical_value)");
    EXPECT_EQ(locate(H, AO, 0.05, "mad\n", NaN), INVALID);
    EXPECT_STREQ(message,
                 "argument 3 (method = 'mad\\x0a') rejected: the method must be L, LJUNG, C, CORR, CORRECT or CORRECTED");
    EXPECT_EQ(locate(H, AO, 0.0, "L", NaN), CVHOST_STATUS_NO_RESULT);
    EXPECT_NE(std::string(message).find("at alpha = 0 the critical value is infinite"), std::string::npos) << message;

    // A short message buffer holds the start of the reason, NUL-terminated.
    char short_message[8];
    std::memset(short_message, 'x', sizeof short_message);
    EXPECT_EQ(cvhost_outlier_statistics(0, nullptr, 0, nullptr, AO, 0.7, NaN, nullptr, nullptr, short_message,
                                        sizeof short_message),
              INVALID);
    EXPECT_STREQ(short_message, "no resi");
}

}  // namespace
