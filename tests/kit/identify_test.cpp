// The C interface's identification: the core's model and bits through the
// outlier procedure with identify (the identifying call's own results are
// the Python and R packages' tests), its refusals as statuses naming the
// field, a stop request, and version 2 callers of the procedure's options
// left as they were.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../support/arma_simulation.h"
#include "core/arima_identification.h"
#include "core/outlier_procedure.h"
#include "cvmodule/cvhost.h"

namespace {

struct Series {
    std::vector<double> y;
    int period;
};

// Small bounds keep the searches short under the sanitizers; the C options
// and the core's alike.
constexpr int kMaxOrder = 2, kMaxSeasonalOrder = 1, kMaxModels = 20;

cvhost_identify_options small_search()
{
    cvhost_identify_options how = CVHOST_IDENTIFY_OPTIONS_INIT;
    how.max_p = how.max_q = kMaxOrder;
    how.max_P = how.max_Q = kMaxSeasonalOrder;
    how.max_models = kMaxModels;
    return how;
}

core::IdentificationOptions core_small_search()
{
    core::IdentificationOptions how;
    how.max_p = how.max_q = kMaxOrder;
    how.max_P = how.max_Q = kMaxSeasonalOrder;
    how.max_models = kMaxModels;
    return how;
}

// A random walk with MA(1) noise, and a monthly series with a strong season.
std::vector<Series> seeded_series()
{
    std::vector<double> walk = simulate_lag_model({1.0, -1.0}, {1.0, 0.4}, 120, 7, 1.0);
    std::vector<double> monthly = simulate_lag_model({1.0, -0.5}, {1.0}, 72, 8, 1.0);
    for (std::size_t t = 0; t < monthly.size(); ++t) {
        monthly[t] += 4.0 * std::sin(2.0 * 3.141592653589793 * static_cast<double>(t % 12) / 12.0);
    }
    return {{walk, 1}, {monthly, 12}};
}

void expect_same_bits(const double* actual, const std::vector<double>& expected, const char* what)
{
    ASSERT_EQ(actual == nullptr, expected.empty()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(actual[i]), std::bit_cast<std::uint64_t>(expected[i]))
            << what << " [" << i << "]";
    }
}

// What the C fit of an identified model tells equals the core's
// identification: the model, the candidates and the evidence, bit for bit.
void expect_identification(const cvhost_fit* fit, const core::Identification& expected)
{
    ASSERT_EQ(cvhost_fit_identified(fit), 1);
    std::int32_t order[7];
    ASSERT_EQ(cvhost_fit_order(fit, order), CVHOST_STATUS_OK);
    const core::ArimaOrder& o = expected.order;
    EXPECT_EQ(std::vector<std::int32_t>(order, order + 7),
              (std::vector<std::int32_t>{o.p, o.d, o.q, o.P, o.D, o.Q, o.period}));
    expect_same_bits(cvhost_fit_coefficients(fit), expected.fit.coefficients, "coefficients");
    ASSERT_EQ(cvhost_fit_candidate_count(fit), expected.candidates.size());
    std::vector<double> aicc;
    for (std::size_t i = 0; i < expected.candidates.size(); ++i) {
        const core::CandidateModel& c = expected.candidates[i];
        const std::int32_t* orders = cvhost_fit_candidate_orders(fit) + 6 * i;
        EXPECT_EQ(std::vector<std::int32_t>(orders, orders + 6),
                  (std::vector<std::int32_t>{c.order.p, c.order.d, c.order.q, c.order.P, c.order.D, c.order.Q}));
        EXPECT_EQ(cvhost_fit_candidate_constants(fit)[i], c.constant ? 1 : 0);
        EXPECT_STREQ(cvhost_fit_candidate_outcome(fit, i), core::candidate_outcome_name(c.outcome));
        EXPECT_EQ(cvhost_fit_candidate_reason(fit, i), c.reason);
        aicc.push_back(c.aicc);
    }
    expect_same_bits(cvhost_fit_candidate_aicc(fit), aicc, "candidate AICc");
    EXPECT_EQ(cvhost_fit_candidate_outcome(fit, expected.candidates.size()), nullptr);
    std::vector<double> statistics;
    for (const core::KpssTest& test : expected.differencing.kpss) {
        statistics.push_back(test.statistic);
    }
    ASSERT_EQ(cvhost_fit_kpss_count(fit), statistics.size());
    expect_same_bits(cvhost_fit_kpss_statistics(fit), statistics, "KPSS statistics");
    EXPECT_EQ(std::bit_cast<std::uint64_t>(cvhost_fit_seasonal_strength(fit)),
              std::bit_cast<std::uint64_t>(expected.differencing.seasonal_strength));
}

int always_stop(void*)
{
    return 1;
}

TEST(Identify, RefusesWhatItCannotReadAndStopsWhenAsked)
{
    const std::vector<double> y = seeded_series()[0].y;
    struct Case {
        const char* what;
        void (*change)(cvhost_fit_options&, cvhost_identify_options&);
        std::int32_t status;
        const char* message_starts;
    };
    const std::vector<Case> cases = {
        {"an order", [](cvhost_fit_options& m, cvhost_identify_options&) { m.q = 1; }, CVHOST_STATUS_INVALID_ARGUMENT,
         "order:"},
        {"a mean", [](cvhost_fit_options& m, cvhost_identify_options&) { m.include_mean = 1; },
         CVHOST_STATUS_INVALID_ARGUMENT, "include_mean:"},
        {"weights", [](cvhost_fit_options& m, cvhost_identify_options&) { m.weights = 3; },
         CVHOST_STATUS_INVALID_ARGUMENT, "weights:"},
        {"a version", [](cvhost_fit_options&, cvhost_identify_options& h) { h.version = 2; },
         CVHOST_STATUS_INVALID_ARGUMENT, "identify: version 2"},
        {"stepwise 2", [](cvhost_fit_options&, cvhost_identify_options& h) { h.stepwise = 2; },
         CVHOST_STATUS_INVALID_ARGUMENT, "stepwise:"},
        {"d -2", [](cvhost_fit_options&, cvhost_identify_options& h) { h.d = -2; }, CVHOST_STATUS_INVALID_ARGUMENT,
         "d:"},
        {"D without a season", [](cvhost_fit_options&, cvhost_identify_options& h) { h.D = 1; },
         CVHOST_STATUS_INVALID_ARGUMENT, "D:"},
        {"a stop", [](cvhost_fit_options&, cvhost_identify_options& h) { h.stop_requested = always_stop; },
         CVHOST_STATUS_STOPPED, ""},
        {"no values", [](cvhost_fit_options& m, cvhost_identify_options&) { m.n = 0; },
         CVHOST_STATUS_INVALID_ARGUMENT, "y:"},
    };
    for (const Case& c : cases) {
        cvhost_fit_options model = CVHOST_FIT_OPTIONS_INIT;
        model.y = y.data();
        model.n = y.size();
        cvhost_identify_options how = small_search();
        c.change(model, how);
        cvhost_fit* fit = reinterpret_cast<cvhost_fit*>(&model);  // must come back NULL
        char message[256];
        EXPECT_EQ(cvhost_identify_arima(&model, &how, &fit, message, sizeof message), c.status) << c.what;
        EXPECT_EQ(fit, nullptr) << c.what;
        EXPECT_EQ(std::string(message).rfind(c.message_starts, 0), 0U) << c.what << ": " << message;
        EXPECT_NE(message[0], '\0') << c.what;
    }
    cvhost_fit_options model = CVHOST_FIT_OPTIONS_INIT;
    EXPECT_EQ(cvhost_identify_arima(&model, nullptr, nullptr, nullptr, 0), CVHOST_STATUS_INVALID_ARGUMENT);
    EXPECT_EQ(cvhost_identify_options_init(nullptr, 1), CVHOST_STATUS_INVALID_ARGUMENT);
    cvhost_identify_options how;
    EXPECT_EQ(cvhost_identify_options_init(&how, 0), CVHOST_STATUS_INVALID_ARGUMENT);
}

// The procedure with identify gives the core's outliers and both
// identifications; its final fit is of the second identification's model.
TEST(Identify, TheProcedureWithIdentifyGivesTheCoresResult)
{
    char message[256];
    cvhost* host = cvhost_open(CVMODULE_PATH, message, sizeof message);
    ASSERT_NE(host, nullptr) << message;
    const core::ModuleSession session{CVMODULE_PATH};
    for (Series s : seeded_series()) {
        s.y[50] += 8.0;
        cvhost_outlier_options options = CVHOST_OUTLIER_OPTIONS_INIT;
        const cvhost_identify_options how = small_search();
        options.model.y = s.y.data();
        options.model.n = s.y.size();
        options.model.period = s.period;
        options.identify = &how;
        cvhost_outliers* found = nullptr;
        ASSERT_EQ(cvhost_find_outliers(host, &options, &found, message, sizeof message), CVHOST_STATUS_OK)
            << message;

        core::OutlierOptions expected_options;
        expected_options.identify = core_small_search();
        core::ArimaOrder period_only;
        period_only.period = s.period;
        const core::OutlierResult expected =
            core::find_outliers(&session, s.y, period_only, {}, expected_options);
        ASSERT_EQ(cvhost_outliers_count(found), expected.outliers.size());
        for (std::size_t i = 0; i < expected.outliers.size(); ++i) {
            EXPECT_EQ(cvhost_outliers_index(found)[i], expected.outliers[i].index);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(cvhost_outliers_tstat(found)[i]),
                      std::bit_cast<std::uint64_t>(expected.outliers[i].t_statistic));
        }
        ASSERT_EQ(expected.identifications.size(), 2U);
        for (std::size_t which = 0; which < 2; ++which) {
            expect_identification(cvhost_outliers_identification(found, which), expected.identifications[which]);
        }
        EXPECT_EQ(cvhost_outliers_identification(found, 2), nullptr);
        std::int32_t final_order[7], second[7];
        cvhost_fit_order(cvhost_outliers_fit(found), final_order);
        cvhost_fit_order(cvhost_outliers_identification(found, 1), second);
        EXPECT_EQ(std::memcmp(final_order, second, sizeof second), 0);
        cvhost_outliers_free(found);
    }
    cvhost_close(host);
}

// A version 2 caller's struct ends before identify: init leaves the bytes
// past it alone and the procedure never reads them; its fit is of the model
// given, not identified.
TEST(Identify, AVersion2CallerIsNotRead)
{
    const std::vector<double> y = seeded_series()[0].y;
    cvhost_outlier_options options;
    std::memset(&options, 0xAB, sizeof options);
    ASSERT_EQ(cvhost_outlier_options_init(&options, 2), CVHOST_STATUS_OK);
    const auto* past = reinterpret_cast<const unsigned char*>(&options.identify);
    for (std::size_t i = 0; i < sizeof options.identify; ++i) {
        EXPECT_EQ(past[i], 0xAB);
    }
    options.model.y = y.data();
    options.model.n = y.size();
    options.model.d = 1;
    options.critical_value = 3.5;
    cvhost_outliers* found = nullptr;
    char message[256];
    EXPECT_EQ(cvhost_find_outliers(nullptr, &options, &found, message, sizeof message), CVHOST_STATUS_OK) << message;
    EXPECT_EQ(cvhost_outliers_identification(found, 0), nullptr);
    std::int32_t order[7];
    ASSERT_EQ(cvhost_fit_order(cvhost_outliers_fit(found), order), CVHOST_STATUS_OK);
    EXPECT_EQ(std::vector<std::int32_t>(order, order + 7), (std::vector<std::int32_t>{0, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(cvhost_fit_identified(cvhost_outliers_fit(found)), 0);
    cvhost_outliers_free(found);
    EXPECT_EQ(cvhost_outlier_options_init(&options, 4), CVHOST_STATUS_INVALID_ARGUMENT);
}

}  // namespace
