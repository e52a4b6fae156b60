// The outlier procedure on seeded series with planted effects, and on the
// series that broke earlier procedures: a flat series with a spike, a short
// series whose scale collapsed round by round, missing values, a threshold
// so low every point would pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "../support/arma_simulation.h"
#include "../support/planted_outliers.h"
#include "core/outlier_procedure.h"

namespace {

using core::ArimaOrder;
using core::FoundOutlier;
using core::ModuleSession;
using core::OutlierOptions;
using core::OutlierResult;
using core::OutlierType;

class OutlierProcedure : public ::testing::Test {
protected:
    ModuleSession session{CVMODULE_PATH};

    OutlierResult run(const std::vector<double>& y, const ArimaOrder& order, const OutlierOptions& options = {})
    {
        return core::find_outliers(&session, y, order, {}, options);
    }
};

struct Planted {
    const char* model;
    std::vector<double> ar, ma;  // lag polynomials, differencing included
    ArimaOrder order;
    std::size_t n;
    OutlierType type;
    std::size_t at;
    double size;  // in innovation standard deviations
    core::OutlierTypes types = core::DEFAULT_OUTLIER_TYPES;
};

// A large effect of each type under a stationary, an integrated and a
// seasonal model is found at its time, as its type, and its effect is
// estimated near its size; the adjusted series has it taken out.
TEST_F(OutlierProcedure, FindsPlantedEffectsUnderEachModel)
{
    const std::vector<double> airline_ar =
        multiply_lag_polynomials({1.0, -1.0}, seasonal_lag_polynomial(-1.0, 12));
    const std::vector<double> airline_ma =
        multiply_lag_polynomials({1.0, -0.4}, seasonal_lag_polynomial(-0.6, 12));
    const std::vector<Planted> cases = {
        {"AR(1)", {1.0, -0.6}, {1.0}, {1, 0, 0}, 200, OutlierType::additive, 80, 8.0},
        {"AR(1)", {1.0, -0.6}, {1.0}, {1, 0, 0}, 200, OutlierType::level_shift, 120, 6.0},
        {"AR(1)", {1.0, -0.6}, {1.0}, {1, 0, 0}, 200, OutlierType::temporary_change, 50, 8.0},
        {"IMA(1,1)", {1.0, -1.0}, {1.0, -0.5}, {0, 1, 1}, 150, OutlierType::additive, 70, 7.0},
        {"airline", airline_ar, airline_ma, {0, 1, 1, 0, 1, 1, 12}, 144, OutlierType::level_shift, 90, 6.0},
        {"airline", airline_ar, airline_ma, {0, 1, 1, 0, 1, 1, 12}, 144, OutlierType::seasonal_level_shift, 70, 8.0,
         {OutlierType::additive, OutlierType::level_shift, OutlierType::temporary_change,
          OutlierType::seasonal_level_shift}},
    };
    for (const Planted& c : cases) {
        for (std::uint64_t seed = 1; seed <= 3; ++seed) {
            std::vector<double> y = simulate_lag_model(c.ar, c.ma, c.n, seed, 1.0);
            plant_outlier(y, c.type, c.at, c.size, static_cast<std::size_t>(c.order.period));
            OutlierOptions options;
            options.types = c.types;
            const OutlierResult result = run(y, c.order, options);
            SCOPED_TRACE(std::string(c.model) + " " + core::outlier_type_name(c.type) + " seed " +
                         std::to_string(seed));
            bool found = false;
            for (const FoundOutlier& o : result.outliers) {
                EXPECT_GT(std::fabs(o.t_statistic), result.critical_value);
                if (o.index == c.at && o.type == c.type) {
                    found = true;
                    EXPECT_NEAR(o.effect, c.size, 2.0);
                }
            }
            EXPECT_TRUE(found);
            EXPECT_LE(result.outliers.size(), 3U);
            // The adjusted series is y less the effect (when no other
            // outlier was found to move it there too).
            if (result.outliers.size() == 1) {
                EXPECT_NEAR(result.adjusted[c.at], y[c.at] - c.size, 2.0);
            }
        }
    }
}

// Series on which earlier procedures failed: each gives a result, and the
// one outlier it has is found.
TEST_F(OutlierProcedure, HoldsItsScaleWhereResidualsAreFlatOrFew)
{
    // A flat series with one spike: more than half the residuals are equal.
    std::vector<double> flat(20, 5.0);
    flat[10] = 100.0;
    const OutlierResult spike = run(flat, {0, 0, 0});
    ASSERT_EQ(spike.outliers.size(), 1U);
    EXPECT_EQ(spike.outliers[0].index, 10U);
    EXPECT_EQ(spike.outliers[0].type, OutlierType::additive);
    EXPECT_DOUBLE_EQ(spike.outliers[0].effect, 95.0);

    // Ten ordinary values: removing an AO once left a zero residual in the
    // scale, which then shrank to nothing.
    const std::vector<double> ten = {0.33, 0.46, 1.56, 1.33, 0.16, 0.37, -1.19, -0.4, 0.32, 0.78};
    const OutlierResult plain = run(ten, {0, 0, 0});
    EXPECT_LE(plain.outliers.size(), 1U);
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        const std::vector<double> noise = simulate_lag_model({1.0}, {1.0}, 10, seed, 1.0);
        EXPECT_NO_THROW(run(noise, {0, 0, 0})) << "seed " << seed;
    }
}

TEST_F(OutlierProcedure, LeavesMissingValuesOut)
{
    std::vector<double> y = simulate_lag_model({1.0, -0.5}, {1.0}, 120, 7, 1.0);
    plant_outlier(y, OutlierType::additive, 60, 8.0);
    const std::vector<std::size_t> gaps = {5, 59, 61, 100};
    for (const std::size_t t : gaps) {
        y[t] = NAN;
    }
    const OutlierResult result = run(y, {1, 0, 0});
    EXPECT_EQ(result.tested, 120U - gaps.size());
    ASSERT_FALSE(result.outliers.empty());
    EXPECT_EQ(result.outliers[0].index, 60U);
    for (const std::size_t t : gaps) {
        EXPECT_TRUE(std::isnan(result.adjusted[t]));
        for (const FoundOutlier& o : result.outliers) {
            EXPECT_NE(o.index, t);
        }
    }
}

// A threshold every point passes: the count stops at its bound and the
// result says so, with every outlier still above the threshold.
TEST_F(OutlierProcedure, BoundsTheCountOfOutliers)
{
    const std::vector<double> y = simulate_lag_model({1.0, -0.5}, {1.0}, 100, 3, 1.0);
    OutlierOptions options;
    options.critical_value = 0.5;
    const OutlierResult result = run(y, {1, 0, 0}, options);
    EXPECT_TRUE(result.reached_bound);
    EXPECT_LE(result.outliers.size(), static_cast<std::size_t>(core::MAX_OUTLIER_SHARE * 100));
    for (const FoundOutlier& o : result.outliers) {
        EXPECT_GT(std::fabs(o.t_statistic), 0.5);
    }

    options.stop_requested = [] { return true; };
    EXPECT_THROW(run(y, {1, 0, 0}, options), core::OutlierStopped);
}

// The model identified rather than given, on seeded airline series with a
// planted level shift: the shift is found at its time, the result carries
// both identifications, and it is the procedure under the last one's model
// to the bit.
TEST_F(OutlierProcedure, IdentifiesTheModel)
{
    const std::vector<double> ar = multiply_lag_polynomials({1.0, -1.0}, seasonal_lag_polynomial(-1.0, 12));
    const std::vector<double> ma = multiply_lag_polynomials({1.0, -0.4}, seasonal_lag_polynomial(-0.6, 12));
    // Two seeds and orders up to 2 keep the searches short under the
    // sanitizers, where each fit costs a hundred times its release time.
    for (std::uint64_t seed = 1; seed <= 2; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::vector<double> y = simulate_lag_model(ar, ma, 144, seed, 1.0);
        plant_outlier(y, OutlierType::level_shift, 90, 6.0);
        OutlierOptions options;
        options.identify.emplace();
        options.identify->max_p = options.identify->max_q = 2;
        options.identify->max_P = options.identify->max_Q = 1;
        const OutlierResult result = run(y, {0, 0, 0, 0, 0, 0, 12}, options);
        ASSERT_EQ(result.identifications.size(), 2U);
        EXPECT_EQ(result.identifications.front().differencing.D, 1);
        const bool found = std::any_of(result.outliers.begin(), result.outliers.end(), [](const FoundOutlier& o) {
            return o.index == 90 && o.type == OutlierType::level_shift && std::fabs(o.effect - 6.0) < 2.0;
        });
        EXPECT_TRUE(found);

        const core::Identification& model = result.identifications.back();
        OutlierOptions given;
        if (model.order.d + model.order.D == 0) {
            given.include_mean = model.include_mean;
        }
        given.include_drift = model.include_drift;
        const OutlierResult direct = run(y, model.order, given);
        EXPECT_EQ(direct.outliers, result.outliers);
        EXPECT_EQ(direct.fit.names, result.fit.names);
        EXPECT_EQ(direct.fit.coefficients, result.fit.coefficients);
    }

    OutlierOptions options;
    options.identify.emplace();
    const std::vector<double> y = simulate_lag_model({1.0, -0.5}, {1.0}, 60, 1, 1.0);
    try {
        run(y, {1, 0, 0}, options);
        ADD_FAILURE() << "an order beside identify";
    } catch (const core::OutlierInputError& error) {
        EXPECT_STREQ(error.what(), "order: the model is identified from the series (identify is set); "
                                   "give its period alone, every order 0");
    }
}

}  // namespace
