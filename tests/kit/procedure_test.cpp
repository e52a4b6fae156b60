// The C interface's outlier procedure: the core's bits through the C call,
// its refusals as statuses with messages, a stop request, the accessors on
// NULL, and the resampling fields of version 2 beside version 1 callers.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <string>
#include <vector>

#include "../support/arma_simulation.h"
#include "core/outlier_procedure.h"
#include "cvmodule/cvhost.h"

namespace {

class Procedure : public ::testing::Test {
protected:
    void SetUp() override
    {
        char message[256];
        host = cvhost_open(CVMODULE_PATH, message, sizeof message);
        ASSERT_NE(host, nullptr) << message;
    }
    void TearDown() override { cvhost_close(host); }

    cvhost* host = nullptr;
    core::ModuleSession session{CVMODULE_PATH};
};

std::vector<double> with_effects(std::vector<double> y)
{
    y[40] += 7.0;
    for (std::size_t t = 90; t < y.size(); ++t) {
        y[t] -= 6.0;
    }
    return y;
}

// The C call gives the core's result bit for bit, under each model and
// option the C options carry.
TEST_F(Procedure, GivesTheCoresBits)
{
    struct Case {
        std::vector<double> y;
        core::ArimaOrder order;
        std::int32_t types;
        const char* method;
        double critical_value;
    };
    std::vector<double> gaps = with_effects(simulate_lag_model({1.0, -0.5}, {1.0}, 150, 11, 1.0));
    gaps[10] = gaps[70] = NAN;
    const std::vector<Case> cases = {
        {with_effects(simulate_lag_model({1.0, -0.6}, {1.0}, 150, 1, 1.0)), {1, 0, 0}, 2 | 4 | 8, nullptr, NAN},
        {with_effects(simulate_lag_model({1.0, -1.0}, {1.0, -0.4}, 150, 2, 1.0)), {0, 1, 1}, 1 | 2 | 4, "L", NAN},
        {gaps, {1, 0, 0}, 2 | 4, nullptr, 3.0},
    };
    for (const Case& c : cases) {
        cvhost_outlier_options options = CVHOST_OUTLIER_OPTIONS_INIT;
        options.model.y = c.y.data();
        options.model.n = c.y.size();
        options.model.p = c.order.p;
        options.model.d = c.order.d;
        options.model.q = c.order.q;
        options.types = c.types;
        options.method = c.method;
        options.critical_value = c.critical_value;
        cvhost_outliers* found = nullptr;
        char message[256];
        ASSERT_EQ(cvhost_find_outliers(host, &options, &found, message, sizeof message), CVHOST_STATUS_OK)
            << message;

        core::OutlierOptions expected_options;
        expected_options.types = *core::OutlierTypes::of_bits(c.types);
        if (c.method != nullptr) {
            expected_options.method = c.method;
        }
        if (!std::isnan(c.critical_value)) {
            expected_options.critical_value = c.critical_value;
        }
        const core::OutlierResult expected = core::find_outliers(&session, c.y, c.order, {}, expected_options);
        ASSERT_FALSE(expected.outliers.empty());
        ASSERT_EQ(cvhost_outliers_count(found), expected.outliers.size());
        for (std::size_t i = 0; i < expected.outliers.size(); ++i) {
            EXPECT_EQ(cvhost_outliers_index(found)[i], expected.outliers[i].index);
            EXPECT_EQ(cvhost_outliers_type(found)[i], static_cast<std::int32_t>(expected.outliers[i].type));
            EXPECT_EQ(std::bit_cast<std::uint64_t>(cvhost_outliers_effect(found)[i]),
                      std::bit_cast<std::uint64_t>(expected.outliers[i].effect));
            EXPECT_EQ(std::bit_cast<std::uint64_t>(cvhost_outliers_tstat(found)[i]),
                      std::bit_cast<std::uint64_t>(expected.outliers[i].t_statistic));
        }
        EXPECT_EQ(cvhost_outliers_critical_value(found), expected.critical_value);
        EXPECT_EQ(cvhost_outliers_tested(found), expected.tested);
        EXPECT_EQ(cvhost_outliers_rounds(found), expected.rounds);
        for (std::size_t t = 0; t < c.y.size(); ++t) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(cvhost_outliers_adjusted(found)[t]),
                      std::bit_cast<std::uint64_t>(expected.adjusted[t]));
        }
        const cvhost_fit* fit = cvhost_outliers_fit(found);
        ASSERT_EQ(cvhost_fit_coefficient_count(fit), expected.fit.names.size());
        EXPECT_EQ(std::string(cvhost_fit_coefficient_name(fit, expected.fit.names.size() - 1)),
                  core::outlier_regressor_name(expected.outliers.back()));
        EXPECT_EQ(cvhost_fit_loglik(fit), expected.fit.loglik);
        cvhost_outliers_free(found);
    }
}

TEST_F(Procedure, RefusesBadInputAndStopsOnRequest)
{
    const std::vector<double> y = with_effects(simulate_lag_model({1.0, -0.5}, {1.0}, 120, 5, 1.0));
    struct Case {
        const char* what;
        void (*change)(cvhost_outlier_options&);
        bool no_host;
        std::int32_t status;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"version", [](cvhost_outlier_options& o) { o.version = 9; }, false, CVHOST_STATUS_INVALID_ARGUMENT,
         "options: version 9"},
        {"type bit", [](cvhost_outlier_options& o) { o.types = 32; }, false, CVHOST_STATUS_INVALID_ARGUMENT,
         "types: 32"},
        {"SLS without seasons", [](cvhost_outlier_options& o) { o.types = CVHOST_OUTLIER_SLS; }, false,
         CVHOST_STATUS_INVALID_ARGUMENT, "types: a seasonal level shift (SLS) needs a seasonal model"},
        {"no type", [](cvhost_outlier_options& o) { o.types = 0; }, false, CVHOST_STATUS_INVALID_ARGUMENT,
         "types: no outlier type"},
        {"model", [](cvhost_outlier_options& o) { o.model.p = 6; }, false, CVHOST_STATUS_INVALID_ARGUMENT, "p: "},
        {"level", [](cvhost_outlier_options& o) { o.alpha = 2.0; }, false, CVHOST_STATUS_INVALID_ARGUMENT, ""},
        {"threshold", [](cvhost_outlier_options& o) { o.critical_value = -1.0; }, false,
         CVHOST_STATUS_INVALID_ARGUMENT, "critical_value: must be finite and positive"},
        {"no host", [](cvhost_outlier_options&) {}, true, CVHOST_STATUS_INVALID_ARGUMENT, "host: is NULL"},
        {"no host, own threshold", [](cvhost_outlier_options& o) { o.critical_value = 3.5; }, true,
         CVHOST_STATUS_OK, ""},
        {"resamples", [](cvhost_outlier_options& o) { o.resamples = 20; }, false, CVHOST_STATUS_INVALID_ARGUMENT,
         "resamples: must be 0"},
        {"resamples and a threshold",
         [](cvhost_outlier_options& o) {
             o.resamples = 1000;
             o.critical_value = 3.5;
         },
         false, CVHOST_STATUS_INVALID_ARGUMENT, "resamples: calibrates the critical value"},
        {"stop",
         [](cvhost_outlier_options& o) {
             o.stop_requested = [](void* context) { return ++*static_cast<int*>(context) >= 20 ? 1 : 0; };
         },
         false, CVHOST_STATUS_STOPPED, "stopped on request"},
    };
    for (const Case& c : cases) {
        cvhost_outlier_options options;
        ASSERT_EQ(cvhost_outlier_options_init(&options, CVHOST_OUTLIER_OPTIONS_VERSION), CVHOST_STATUS_OK);
        options.model.y = y.data();
        options.model.n = y.size();
        options.model.p = 1;
        int asked = 0;
        options.stop_context = &asked;
        c.change(options);
        cvhost_outliers* found = nullptr;
        char message[256] = "unchanged";
        const std::int32_t status =
            cvhost_find_outliers(c.no_host ? nullptr : host, &options, &found, message, sizeof message);
        EXPECT_EQ(status, c.status) << c.what << ": " << message;
        EXPECT_EQ(std::string(message).rfind(c.message, 0), 0U) << c.what << ": " << message;
        EXPECT_EQ(found == nullptr, status != CVHOST_STATUS_OK) << c.what;
        cvhost_outliers_free(found);
    }

    EXPECT_EQ(cvhost_outliers_count(nullptr), 0U);
    EXPECT_EQ(cvhost_outliers_index(nullptr), nullptr);
    EXPECT_EQ(cvhost_outliers_fit(nullptr), nullptr);
    EXPECT_TRUE(std::isnan(cvhost_outliers_critical_value(nullptr)));
    EXPECT_EQ(cvhost_outlier_options_init(nullptr, CVHOST_OUTLIER_OPTIONS_VERSION), CVHOST_STATUS_INVALID_ARGUMENT);
    EXPECT_EQ(cvhost_outliers_calibrated(nullptr), 0);
    EXPECT_TRUE(std::isnan(cvhost_outliers_tail_dof(nullptr)));
}

// Version 2's resampling through the C call gives the core's calibrated
// result; a version 1 caller's struct is filled and read only as far as
// it goes, and gives LJUNGCV's result whatever lies after it.
TEST_F(Procedure, ResamplesAndKeepsVersionOne)
{
    std::vector<double> y = simulate_lag_model({1.0, -0.5}, {1.0}, 150, 21, 1.0);
    y[60] += 9.0;
    const auto run = [&](const cvhost_outlier_options& options) {
        cvhost_outliers* found = nullptr;
        char message[256];
        EXPECT_EQ(cvhost_find_outliers(host, &options, &found, message, sizeof message), CVHOST_STATUS_OK)
            << message;
        return found;
    };

    cvhost_outlier_options options = CVHOST_OUTLIER_OPTIONS_INIT;
    options.model.y = y.data();
    options.model.n = y.size();
    options.model.p = 1;
    options.resamples = 400;
    options.seed = 77;
    cvhost_outliers* calibrated = run(options);
    core::OutlierOptions expected_options;
    expected_options.resamples = 400;
    expected_options.seed = 77;
    const core::OutlierResult expected = core::find_outliers(&session, y, {1, 0, 0}, {}, expected_options);
    ASSERT_NE(calibrated, nullptr);
    EXPECT_EQ(cvhost_outliers_calibrated(calibrated), 1);
    EXPECT_EQ(cvhost_outliers_critical_value(calibrated), expected.critical_value);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(cvhost_outliers_tail_dof(calibrated)),
              std::bit_cast<std::uint64_t>(expected.tail_dof));
    EXPECT_EQ(cvhost_outliers_count(calibrated), expected.outliers.size());
    cvhost_outliers_free(calibrated);

    // A version 1 struct with bytes after it that would ask for resampling.
    constexpr std::size_t version1 = offsetof(cvhost_outlier_options, resamples);
    cvhost_outlier_options old;
    std::memset(static_cast<void*>(&old), 0x5A, sizeof old);
    ASSERT_EQ(cvhost_outlier_options_init(&old, 1), CVHOST_STATUS_OK);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&old);
    for (std::size_t i = version1; i < sizeof old; ++i) {
        ASSERT_EQ(bytes[i], 0x5A) << "byte " << i << " written past a version 1 struct";
    }
    EXPECT_EQ(old.version, 1U);
    old.model.y = y.data();
    old.model.n = y.size();
    old.model.p = 1;
    cvhost_outliers* plain = run(old);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(cvhost_outliers_calibrated(plain), 0);
    EXPECT_TRUE(std::isnan(cvhost_outliers_tail_dof(plain)));
    EXPECT_EQ(cvhost_outliers_critical_value(plain),
              core::find_outliers(&session, y, {1, 0, 0}, {}, core::OutlierOptions{}).critical_value);
    cvhost_outliers_free(plain);
}

}  // namespace
