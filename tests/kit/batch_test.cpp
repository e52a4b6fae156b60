// The C interface's batch of outlier procedures: each series' outcome is
// the one-series call's, bit for bit and in order, whatever the number of
// workers; a bad series fails alone; what every series shares fails the
// call; a stop request stops every worker.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "../support/arma_simulation.h"
#include "cvmodule/cvhost.h"

namespace {

class Batch : public ::testing::Test {
protected:
    void SetUp() override
    {
        char message[256];
        host = cvhost_open(CVMODULE_PATH, message, sizeof message);
        ASSERT_NE(host, nullptr) << message;
        cvhost_outlier_options_init(&options, CVHOST_OUTLIER_OPTIONS_VERSION);
        options.model.p = 1;
    }
    void TearDown() override { cvhost_close(host); }

    cvhost* host = nullptr;
    cvhost_outlier_options options{};
};

std::uint64_t bits(double x)
{
    return std::bit_cast<std::uint64_t>(x);
}

std::vector<std::uint64_t> bits(const double* values, std::size_t count)
{
    std::vector<std::uint64_t> b;
    for (std::size_t i = 0; i < count; ++i) {
        b.push_back(bits(values[i]));
    }
    return b;
}

// AR(1) series, some with an additive outlier and a level shift, and in
// the middle the ways one series can fail alone.
std::vector<std::vector<double>> mixed_series()
{
    std::vector<std::vector<double>> series;
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
        std::vector<double> y = simulate_lag_model({1.0, -0.6}, {1.0}, 90 + 10 * seed, seed, 1.0);
        y[30] += 6.0 + static_cast<double>(seed);
        for (std::size_t t = 60; t < y.size(); ++t) {
            y[t] -= 5.0;
        }
        series.push_back(std::move(y));
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<double>> failing = {
        {1.0, 2.0, 3.0},                                              // too short for the model
        std::vector<double>(40, nan),                                 // every value missing (text read as NaN)
        {1.0, std::numeric_limits<double>::infinity(), 2.0, 3.0, 4.0, 5.0, 6.0, 7.0},  // an infinite value
        {},                                                           // empty
    };
    series.insert(series.begin() + 2, failing.begin(), failing.end());
    series.push_back(simulate_lag_model({1.0, -0.3}, {1.0}, 80, 9, 2.0));
    return series;
}

// Everything a result object tells, as bits, for comparing two of them.
std::vector<std::uint64_t> everything(const cvhost_outliers* found)
{
    const std::size_t count = cvhost_outliers_count(found);
    std::vector<std::uint64_t> all = {count, cvhost_outliers_tested(found),
                                      static_cast<std::uint64_t>(cvhost_outliers_rounds(found)),
                                      static_cast<std::uint64_t>(cvhost_outliers_flags(found)),
                                      bits(cvhost_outliers_critical_value(found)),
                                      bits(cvhost_outliers_excess_kurtosis(found)),
                                      bits(cvhost_outliers_kurtosis_p_value(found))};
    for (std::size_t i = 0; i < count; ++i) {
        all.push_back(cvhost_outliers_index(found)[i]);
        all.push_back(static_cast<std::uint64_t>(cvhost_outliers_type(found)[i]));
    }
    const auto append = [&all](const std::vector<std::uint64_t>& more) { all.insert(all.end(), more.begin(), more.end()); };
    append(bits(cvhost_outliers_effect(found), count));
    append(bits(cvhost_outliers_tstat(found), count));
    const cvhost_fit* fit = cvhost_outliers_fit(found);
    const std::size_t k = cvhost_fit_coefficient_count(fit);
    append(bits(cvhost_fit_coefficients(fit), k));
    append(bits(cvhost_fit_standard_errors(fit), k));
    append({bits(cvhost_fit_loglik(fit)), bits(cvhost_fit_sigma2(fit)), cvhost_fit_nobs(fit)});
    return all;
}

struct Single {
    std::int32_t status;
    std::string message;
    std::vector<std::uint64_t> result;  // everything() and the adjusted series
};

// Each series' outcome through the batch, with 1, 2, 3 and one worker per
// core, against cvhost_find_outliers on that series alone.
void expect_one_series_bits(cvhost* host, const cvhost_outlier_options& options)
{
    std::vector<std::vector<double>> series = mixed_series();
    std::vector<const double*> pointers;
    std::vector<std::size_t> lengths;
    for (const std::vector<double>& y : series) {
        pointers.push_back(y.empty() ? nullptr : y.data());
        lengths.push_back(y.size());
    }
    // A series whose values are not there fails alone as well.
    pointers.insert(pointers.begin() + 1, nullptr);
    lengths.insert(lengths.begin() + 1, 50);

    std::vector<Single> expected;
    for (std::size_t i = 0; i < pointers.size(); ++i) {
        cvhost_outlier_options one = options;
        one.model.y = pointers[i];
        one.model.n = lengths[i];
        cvhost_outliers* found = nullptr;
        char message[512];
        Single single{cvhost_find_outliers(host, &one, &found, message, sizeof message), message, {}};
        if (found != nullptr) {
            single.result = everything(found);
            const std::vector<std::uint64_t> adjusted = bits(cvhost_outliers_adjusted(found), lengths[i]);
            single.result.insert(single.result.end(), adjusted.begin(), adjusted.end());
        }
        cvhost_outliers_free(found);
        expected.push_back(single);
    }
    std::size_t failures = 0;
    for (const Single& single : expected) {
        failures += single.status != CVHOST_STATUS_OK ? 1 : 0;
    }
    ASSERT_EQ(failures, 5U);  // the NULL one and the four of mixed_series

    for (const unsigned workers : {1U, 2U, 3U, 0U}) {
        cvhost_batch* batch = nullptr;
        char message[256];
        ASSERT_EQ(cvhost_find_outliers_batch(host, &options, pointers.size(), pointers.data(), lengths.data(), workers,
                                             &batch, message, sizeof message),
                  CVHOST_STATUS_OK)
            << message;
        ASSERT_EQ(cvhost_batch_count(batch), pointers.size());
        for (std::size_t i = 0; i < pointers.size(); ++i) {
            SCOPED_TRACE("workers " + std::to_string(workers) + ", series " + std::to_string(i));
            EXPECT_EQ(cvhost_batch_status(batch, i), expected[i].status);
            EXPECT_EQ(std::string(cvhost_batch_message(batch, i)), expected[i].message);
            const cvhost_outliers* found = cvhost_batch_outliers(batch, i);
            ASSERT_EQ(found != nullptr, expected[i].status == CVHOST_STATUS_OK);
            if (found != nullptr) {
                std::vector<std::uint64_t> got = everything(found);
                const std::vector<std::uint64_t> adjusted = bits(cvhost_outliers_adjusted(found), lengths[i]);
                got.insert(got.end(), adjusted.begin(), adjusted.end());
                EXPECT_EQ(got, expected[i].result);
            }
        }
        cvhost_batch_free(batch);
    }
}

TEST_F(Batch, GivesTheOneSeriesCallsBitsInOrderWithAnyWorkers)
{
    expect_one_series_bits(host, options);
    // A critical value calibrated by resampling draws from the seed in each series alone.
    cvhost_outlier_options calibrated = options;
    calibrated.resamples = 200;
    expect_one_series_bits(host, calibrated);
}

// What every series would share fails the call, with the one-series
// call's message where it has one.
TEST_F(Batch, RefusesWhatEverySeriesShares)
{
    const std::vector<double> y = simulate_lag_model({1.0, -0.5}, {1.0}, 60, 4, 1.0);
    const double* series[] = {y.data()};
    const std::size_t lengths[] = {y.size()};
    struct Case {
        const char* what;
        void (*change)(cvhost_outlier_options&);
    };
    const std::vector<Case> cases = {
        {"version", [](cvhost_outlier_options& o) { o.version = 9; }},
        {"type bit", [](cvhost_outlier_options& o) { o.types = 32; }},
        {"SLS without seasons", [](cvhost_outlier_options& o) { o.types = CVHOST_OUTLIER_SLS; }},
        {"delta", [](cvhost_outlier_options& o) { o.delta = 1.5; }},
        {"rounds", [](cvhost_outlier_options& o) { o.max_rounds = 0; }},
        {"model", [](cvhost_outlier_options& o) { o.model.p = 6; }},
        {"mean", [](cvhost_outlier_options& o) { o.model.d = 1; o.model.include_mean = 1; }},
        {"level", [](cvhost_outlier_options& o) { o.alpha = 0.5; }},
        {"method", [](cvhost_outlier_options& o) { o.method = "X"; }},
        {"threshold", [](cvhost_outlier_options& o) { o.critical_value = -1.0; }},
        {"resamples", [](cvhost_outlier_options& o) { o.resamples = 50; }},
    };
    for (const Case& c : cases) {
        cvhost_outlier_options changed = options;
        c.change(changed);
        cvhost_batch* batch = nullptr;
        char message[256] = "unchanged";
        EXPECT_EQ(cvhost_find_outliers_batch(host, &changed, 1, series, lengths, 2, &batch, message, sizeof message),
                  CVHOST_STATUS_INVALID_ARGUMENT)
            << c.what;
        EXPECT_EQ(batch, nullptr) << c.what;
        changed.model.y = y.data();
        changed.model.n = y.size();
        cvhost_outliers* found = nullptr;
        char single[256];
        EXPECT_EQ(cvhost_find_outliers(host, &changed, &found, single, sizeof single), CVHOST_STATUS_INVALID_ARGUMENT)
            << c.what;
        EXPECT_STREQ(message, single) << c.what;
        cvhost_outliers_free(found);
    }

    // The batch's own arguments.
    struct Own {
        const char* what;
        cvhost* host;
        const cvhost_outlier_options* options;
        const double* const* series;
        const std::size_t* lengths;
        unsigned workers;
        bool result;
        const char* message;
    };
    const std::vector<Own> own = {
        {"options", host, nullptr, series, lengths, 1, true, "options: is NULL"},
        {"result", host, &options, series, lengths, 1, false, "result: is NULL (the result needs somewhere to go)"},
        {"series", host, &options, nullptr, lengths, 1, true, "series: is NULL with count 1"},
        {"lengths", host, &options, series, nullptr, 1, true, "lengths: is NULL with count 1"},
        {"workers", host, &options, series, lengths, 257, true, "workers: must be from 0 (one per core) to 256, got 257"},
        {"host", nullptr, &options, series, lengths, 1, true,
         "host: is NULL, and LJUNGCV's critical value needs the module (or give critical_value)"},
    };
    for (const Own& c : own) {
        cvhost_batch* batch = nullptr;
        char message[256] = "unchanged";
        EXPECT_EQ(cvhost_find_outliers_batch(c.host, c.options, 1, c.series, c.lengths, c.workers,
                                             c.result ? &batch : nullptr, message, sizeof message),
                  CVHOST_STATUS_INVALID_ARGUMENT)
            << c.what;
        EXPECT_STREQ(message, c.message);
        EXPECT_EQ(batch, nullptr) << c.what;
    }

    // No series is a batch of none; NULL arrays are then fine.
    cvhost_batch* empty = nullptr;
    ASSERT_EQ(cvhost_find_outliers_batch(host, &options, 0, nullptr, nullptr, 1, &empty, nullptr, 0),
              CVHOST_STATUS_OK);
    EXPECT_EQ(cvhost_batch_count(empty), 0U);
    EXPECT_EQ(cvhost_batch_status(empty, 0), CVHOST_STATUS_INVALID_ARGUMENT);
    EXPECT_EQ(cvhost_batch_message(empty, 0), nullptr);
    EXPECT_EQ(cvhost_batch_outliers(empty, 0), nullptr);
    cvhost_batch_free(empty);
    EXPECT_EQ(cvhost_batch_count(nullptr), 0U);
    EXPECT_EQ(cvhost_batch_message(nullptr, 0), nullptr);
}

// The hook says stop to one worker, once: every worker stops at its next
// question, and the call reports no series.
TEST_F(Batch, StopsEveryWorkerOnRequest)
{
    std::vector<std::vector<double>> series;
    std::vector<const double*> pointers;
    std::vector<std::size_t> lengths;
    for (std::uint64_t seed = 0; seed < 24; ++seed) {
        series.push_back(simulate_lag_model({1.0, -0.5}, {1.0}, 120, 100 + seed, 1.0));
    }
    for (const std::vector<double>& y : series) {
        pointers.push_back(y.data());
        lengths.push_back(y.size());
    }
    struct Counter {
        std::atomic<int> asked{0};
        int stop_at = 0;
    };
    for (const unsigned workers : {1U, 3U}) {
        Counter counter;
        counter.stop_at = 40;
        cvhost_outlier_options stopping = options;
        stopping.stop_context = &counter;
        stopping.stop_requested = [](void* context) {
            auto* c = static_cast<Counter*>(context);
            return ++c->asked == c->stop_at ? 1 : 0;  // once: the other workers must hear it from the batch
        };
        cvhost_batch* batch = nullptr;
        char message[256];
        EXPECT_EQ(cvhost_find_outliers_batch(host, &stopping, pointers.size(), pointers.data(), lengths.data(),
                                             workers, &batch, message, sizeof message),
                  CVHOST_STATUS_STOPPED);
        EXPECT_STREQ(message, "stopped on request");
        EXPECT_EQ(batch, nullptr);
        // Once one worker heard "stop", the others stop without asking the
        // hook again: at most one question each was already under way.
        EXPECT_LE(counter.asked.load(), counter.stop_at + static_cast<int>(workers) - 1) << workers;
    }
    // The ready-made flag, set from another thread while two workers run.
    EXPECT_EQ(cvhost_stop_flag(nullptr), 0);
    std::int32_t flag = 0;
    cvhost_outlier_options flagged = options;
    flagged.resamples = 100000;  // seconds of draws per series
    flagged.stop_requested = cvhost_stop_flag;
    flagged.stop_context = &flag;
    std::thread setter([&flag] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::atomic_ref<std::int32_t>(flag).store(1, std::memory_order_relaxed);
    });
    cvhost_batch* batch = nullptr;
    char message[256];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(cvhost_find_outliers_batch(host, &flagged, pointers.size(), pointers.data(), lengths.data(), 2, &batch,
                                         message, sizeof message),
              CVHOST_STATUS_STOPPED);
    setter.join();
    EXPECT_EQ(batch, nullptr);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
}

}  // namespace
