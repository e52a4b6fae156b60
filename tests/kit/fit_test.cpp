// The C interface's fit: the bits of the fixture Python and R read too, the
// refusals it adds to the engine's, the accessors on NULL, and fits on
// several threads at once giving the single-threaded bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cvmodule/cvhost.h"

namespace {

using Fields = std::map<std::string, std::vector<std::string>>;  // "coef" -> the values

struct Case {
    std::string name;
    std::vector<int> orders;  // p d q P D Q period
    Fields fields;
};

// The fixture's cases, in file order: "case NAME p d q P D Q s", then "FIELD NAME values...".
std::vector<Case> fixture()
{
    std::ifstream file(ARIMA_FIXTURE);
    std::vector<Case> cases;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string field, name, word;
        words >> field >> name;
        std::vector<std::string> values;
        while (words >> word)
            values.push_back(word);
        if (field == "case") {
            Case c{name, {}, {}};
            for (const std::string& v : values)
                c.orders.push_back(std::stoi(v));
            cases.push_back(c);
        } else {
            cases.back().fields[field] = values;
        }
    }
    return cases;
}

std::vector<double> doubles(const std::vector<std::string>& texts)
{
    std::vector<double> values;
    for (const std::string& t : texts)
        values.push_back(std::strtod(t.c_str(), nullptr));  // C99 hex doubles and "NaN"
    return values;
}

// The fixture holds the bits of the Linux build, which C, Python and R share
// (one libm). The Windows build's log and exp are another library's, not
// rounded alike, so there the fit agrees to rounding, not to the bit.
void expect_bits(const double* actual, const std::vector<double>& expected, const std::string& what)
{
    ASSERT_NE(actual, nullptr) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (std::isnan(expected[i]))
            EXPECT_TRUE(std::isnan(actual[i])) << what << " [" << i << "]";
#ifdef _WIN32
        else
            EXPECT_NEAR(actual[i], expected[i], 1e-8 * std::max(1.0, std::fabs(expected[i])))
                << what << " [" << i << "]";
#else
        else
            EXPECT_EQ(std::memcmp(&actual[i], &expected[i], sizeof(double)), 0)
                << what << " [" << i << "]: " << actual[i] << " vs " << expected[i];
#endif
    }
}

struct Input {
    std::vector<double> y, xreg;
    cvhost_fit_options options = CVHOST_FIT_OPTIONS_INIT;
};

Input input_of(const Case& c)
{
    Input in;
    in.y = doubles(c.fields.at("y"));
    if (c.fields.count("xreg") != 0)
        in.xreg = doubles(c.fields.at("xreg"));
    cvhost_fit_options& o = in.options;
    o.y = in.y.data();
    o.n = in.y.size();
    o.p = c.orders[0], o.d = c.orders[1], o.q = c.orders[2];
    o.P = c.orders[3], o.D = c.orders[4], o.Q = c.orders[5], o.period = c.orders[6];
    o.xreg = in.xreg.empty() ? nullptr : in.xreg.data();
    o.xreg_columns = in.xreg.size() / in.y.size();
    return in;
}

TEST(FitArima, GivesTheBitsOfTheSharedFixture)
{
    const std::vector<Case> cases = fixture();
    ASSERT_EQ(cases.size(), 6u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Input in = input_of(c);
        cvhost_fit* fit = nullptr;
        char message[256];
        ASSERT_EQ(cvhost_fit_arima(&in.options, &fit, message, sizeof message), CVHOST_STATUS_OK) << message;
        const std::vector<std::string>& names = c.fields.at("names");
        ASSERT_EQ(cvhost_fit_coefficient_count(fit), names.size());
        for (std::size_t i = 0; i < names.size(); ++i)
            EXPECT_STREQ(cvhost_fit_coefficient_name(fit, i), names[i].c_str());
        EXPECT_EQ(cvhost_fit_coefficient_name(fit, names.size()), nullptr);
        expect_bits(cvhost_fit_coefficients(fit), doubles(c.fields.at("coef")), "coef");
        expect_bits(cvhost_fit_standard_errors(fit), doubles(c.fields.at("se")), "se");
        const std::vector<double> summary = doubles(c.fields.at("fit"));
        const double measures[] = {cvhost_fit_loglik(fit), cvhost_fit_sigma2(fit), cvhost_fit_aic(fit)};
        expect_bits(measures, {summary[0], summary[1], summary[2]}, "loglik, sigma2, aic");
        EXPECT_EQ(static_cast<double>(cvhost_fit_nobs(fit)), summary[3]);
        expect_bits(cvhost_fit_residuals(fit), doubles(c.fields.at("resid")), "resid");
        EXPECT_EQ(cvhost_fit_weight_count(fit), in.y.size() - 1);  // the default: n - 1
        expect_bits(cvhost_fit_pi_weights(fit), doubles(c.fields.at("pi")), "pi");
        EXPECT_EQ(cvhost_fit_converged(fit), 1);
        EXPECT_STREQ(cvhost_fit_message(fit), "");
        cvhost_fit_free(fit);
    }
}

TEST(FitArima, RefusesWhatItCannotReadWithTheArgumentAndTheRule)
{
    std::vector<double> y(40);
    for (std::size_t t = 0; t < y.size(); ++t)
        y[t] = std::sin(static_cast<double>(t)) + 0.1 * static_cast<double>(t);
    const char* const null_name[] = {"a", nullptr};
    struct Refusal {
        void (*change)(cvhost_fit_options&, const char* const*);
        const char* message;
    };
    const Refusal refusals[] = {
        {[](cvhost_fit_options& o, const char* const*) { o.version = 2; },
         "options: version 2 is not one this library knows (1; start from CVHOST_FIT_OPTIONS_INIT)"},
        {[](cvhost_fit_options& o, const char* const*) { o.y = nullptr; }, "y: is NULL with n 40"},
        {[](cvhost_fit_options& o, const char* const*) { o.include_mean = 2; },
         "include_mean: must be -1 (a mean when d + D = 0), 0 or 1, got 2"},
        {[](cvhost_fit_options& o, const char* const*) { o.include_drift = -1; },
         "include_drift: must be 0 or 1, got -1"},
        {[](cvhost_fit_options& o, const char* const*) { o.xreg_columns = 1; }, "xreg: is NULL with xreg_columns 1"},
        {[](cvhost_fit_options& o, const char* const* names) {
             o.xreg = o.y;
             o.xreg_columns = 2;
             o.n = 20;
             o.xreg_names = names;
         },
         "xreg_names: name 2 is NULL"},
        // The engine's own rules come through as it words them.
        {[](cvhost_fit_options& o, const char* const*) { o.period = 0; },
         "period: must be 1 (no season) or from 2 to 366, got 0"},
        {[](cvhost_fit_options& o, const char* const*) { o.n = 0; }, "y: is empty"},
    };
    for (const Refusal& r : refusals) {
        cvhost_fit_options options = CVHOST_FIT_OPTIONS_INIT;
        options.y = y.data();
        options.n = y.size();
        options.p = 1;
        r.change(options, null_name);
        cvhost_fit* fit = reinterpret_cast<cvhost_fit*>(&options);  // must come back NULL
        char message[256];
        EXPECT_EQ(cvhost_fit_arima(&options, &fit, message, sizeof message), CVHOST_STATUS_INVALID_ARGUMENT);
        EXPECT_STREQ(message, r.message);
        EXPECT_EQ(fit, nullptr);
    }
    cvhost_fit* fit = nullptr;
    char message[8];
    EXPECT_EQ(cvhost_fit_arima(nullptr, &fit, message, sizeof message), CVHOST_STATUS_INVALID_ARGUMENT);
    EXPECT_STREQ(message, "options");  // cut to the buffer, NUL-terminated
    cvhost_fit_options options = CVHOST_FIT_OPTIONS_INIT;
    EXPECT_EQ(cvhost_fit_arima(&options, nullptr, nullptr, 0), CVHOST_STATUS_INVALID_ARGUMENT);
    EXPECT_EQ(cvhost_fit_options_init(nullptr, CVHOST_FIT_OPTIONS_VERSION), CVHOST_STATUS_INVALID_ARGUMENT);
    EXPECT_EQ(cvhost_fit_options_init(&options, 7), CVHOST_STATUS_INVALID_ARGUMENT);
}

TEST(FitArima, OptionsInitAndTheAccessorsOnNull)
{
    cvhost_fit_options filled;
    std::memset(&filled, 0xA5, sizeof filled);
    ASSERT_EQ(cvhost_fit_options_init(&filled, CVHOST_FIT_OPTIONS_VERSION), CVHOST_STATUS_OK);
    const cvhost_fit_options initial = CVHOST_FIT_OPTIONS_INIT;
    EXPECT_EQ(filled.version, initial.version);
    EXPECT_EQ(filled.y, nullptr);
    EXPECT_EQ(filled.n + static_cast<std::size_t>(filled.p + filled.d + filled.q + filled.P + filled.D + filled.Q), 0u);
    EXPECT_EQ(filled.period, 1);
    EXPECT_EQ(filled.xreg, nullptr);
    EXPECT_EQ(filled.xreg_columns, 0u);
    EXPECT_EQ(filled.xreg_names, nullptr);
    EXPECT_EQ(filled.include_mean, -1);
    EXPECT_EQ(filled.include_drift, 0);
    EXPECT_EQ(filled.max_iterations, initial.max_iterations);
    EXPECT_EQ(filled.weights, CVHOST_FIT_WEIGHTS_DEFAULT);
    EXPECT_EQ(cvhost_fit_coefficient_count(nullptr), 0u);
    EXPECT_EQ(cvhost_fit_coefficients(nullptr), nullptr);
    EXPECT_EQ(cvhost_fit_residuals(nullptr), nullptr);
    EXPECT_TRUE(std::isnan(cvhost_fit_loglik(nullptr)));
    EXPECT_EQ(cvhost_fit_converged(nullptr), 0);
    EXPECT_STREQ(cvhost_fit_message(nullptr), "");
    cvhost_fit_free(nullptr);
}

TEST(FitArima, ThreadsFittingAtOnceGiveTheSingleThreadedBits)
{
    const std::vector<Case> cases = fixture();
    const Case& airline = cases.at(3);
    const Input in = input_of(airline);
    // The bits of one fit on this thread, against which the others compare.
    cvhost_fit* alone = nullptr;
    ASSERT_EQ(cvhost_fit_arima(&in.options, &alone, nullptr, 0), CVHOST_STATUS_OK);
    const std::vector<double> expected(cvhost_fit_coefficients(alone),
                                       cvhost_fit_coefficients(alone) + cvhost_fit_coefficient_count(alone));
    cvhost_fit_free(alone);
    std::vector<int> same(4, 0);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < same.size(); ++i) {
        threads.emplace_back([&, i] {
            cvhost_fit* fit = nullptr;
            if (cvhost_fit_arima(&in.options, &fit, nullptr, 0) == CVHOST_STATUS_OK)
                same[i] = std::memcmp(cvhost_fit_coefficients(fit), expected.data(),
                                      expected.size() * sizeof(double)) == 0;
            cvhost_fit_free(fit);
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(same, std::vector<int>(4, 1));
}

}  // namespace
