// The C interface as an embedder uses it: values and statuses, the batch
// call against single calls, handles shared by threads and opened twice,
// NULL arguments and load failures.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cvmodule/cvhost.h"

namespace {

constexpr std::uint64_t MISSING_BITS = 0xFFFFD10000000000;

struct Handle {
    explicit Handle(const char* path = CVMODULE_PATH) : host(cvhost_open(path, message, sizeof message)) {}
    ~Handle() { cvhost_close(host); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    char message[512] = "unset";
    cvhost* host;
};

struct Case {
    double n;
    double alpha;
    const char* method;
    std::int32_t status;
    int rejected;
};

// One case per outcome; the values themselves are the module's, which the
// host tests check.
const Case CASES[] = {
    {10, 0.05, nullptr, CVHOST_STATUS_OK, 0},
    {10, 0.05, " ljung ", CVHOST_STATUS_OK, 0},
    {10, 0.5, nullptr, CVHOST_STATUS_INVALID_ARGUMENT, 2},
    {10, 0.05, "median", CVHOST_STATUS_INVALID_ARGUMENT, 3},
    {std::bit_cast<double>(MISSING_BITS), 0.05, "C", CVHOST_STATUS_INVALID_ARGUMENT, 1},
    {1e12, 0.05, nullptr, CVHOST_STATUS_NO_RESULT, 0},
};

TEST(CvhostTest, EvaluatesAsTheHostDoes)
{
    Handle handle;
    ASSERT_NE(handle.host, nullptr) << handle.message;
    double value = 0;
    ASSERT_EQ(cvhost_ljungcv(handle.host, 10, 0.05, nullptr, &value, nullptr), CVHOST_STATUS_OK);
    EXPECT_EQ(value, 3.087110344600084);
    for (const Case& c : CASES) {
        int rejected = -1;
        const std::int32_t status = cvhost_ljungcv(handle.host, c.n, c.alpha, c.method, &value, &rejected);
        EXPECT_EQ(status, c.status) << c.n << " " << c.alpha;
        EXPECT_EQ(rejected, c.rejected) << c.n << " " << c.alpha;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(value) == MISSING_BITS, status != CVHOST_STATUS_OK);
        // Without a place for the value: the same status and argument.
        int rejected_alone = -1;
        EXPECT_EQ(cvhost_ljungcv(handle.host, c.n, c.alpha, c.method, nullptr, &rejected_alone), c.status);
        EXPECT_EQ(rejected_alone, c.rejected) << c.n << " " << c.alpha;
    }
}

// A million random pairs, valid and not, through the batch call and one by
// one: the same bits and statuses.
TEST(CvhostTest, BatchMatchesSingleCalls)
{
    Handle handle;
    ASSERT_NE(handle.host, nullptr) << handle.message;
    constexpr std::size_t COUNT = 1000000;
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> count(-5.0, 5000.0);
    std::uniform_real_distribution<double> level(-0.01, 0.11);
    std::vector<double> n(COUNT), alpha(COUNT), values(COUNT);
    std::vector<std::int32_t> statuses(COUNT);
    for (std::size_t i = 0; i < COUNT; ++i) {
        n[i] = i % 2 == 0 ? std::floor(count(random)) : count(random);
        alpha[i] = level(random);
    }
    for (const char* method : {static_cast<const char*>(nullptr), "L"}) {
        const std::size_t used = method == nullptr ? COUNT : COUNT / 10;
        cvhost_ljungcv_many(handle.host, used, n.data(), alpha.data(), method, values.data(), statuses.data());
        std::size_t differences = 0;
        std::size_t valid = 0;
        for (std::size_t i = 0; i < used; ++i) {
            double value = 0;
            const std::int32_t status = cvhost_ljungcv(handle.host, n[i], alpha[i], method, &value, nullptr);
            differences += status != statuses[i] ||
                           std::bit_cast<std::uint64_t>(value) != std::bit_cast<std::uint64_t>(values[i]);
            valid += status == CVHOST_STATUS_OK;
        }
        EXPECT_EQ(differences, 0U);
        EXPECT_GT(valid, used / 2);
    }
}

// Several threads on one handle, while other handles open and close.
TEST(CvhostTest, HandlesAreSharedByThreads)
{
    Handle handle;
    ASSERT_NE(handle.host, nullptr) << handle.message;
    constexpr int THREADS = 4;
    constexpr int CALLS = 2000;
    std::vector<double> expected(CALLS);
    for (int i = 0; i < CALLS; ++i) {
        cvhost_ljungcv(handle.host, 3 + i, 0.05, i % 2 != 0 ? "L" : nullptr, &expected[i], nullptr);
    }
    std::vector<int> mismatches(THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            Handle own;
            for (int i = 0; i < CALLS; ++i) {
                double value = 0;
                cvhost_ljungcv(t % 2 == 0 ? handle.host : own.host, 3 + i, 0.05, i % 2 != 0 ? "L" : nullptr,
                               &value, nullptr);
                mismatches[t] += value != expected[i];
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches, std::vector<int>(THREADS, 0));
}

TEST(CvhostTest, OpensTwiceAndFindsItsOwnModule)
{
    Handle first;
    Handle installed(nullptr);
    ASSERT_NE(first.host, nullptr) << first.message;
    ASSERT_NE(installed.host, nullptr) << installed.message;
    std::string info(cvhost_module_info(installed.host, nullptr, 0), '\0');
    ASSERT_EQ(cvhost_module_info(installed.host, info.data(), info.size() + 1), info.size());
    EXPECT_NE(info.find("marker: ZMT_Image_Information=\n"), std::string::npos) << info;
    EXPECT_NE(info.find("function: LJUNGCV 2 to 3 arguments"), std::string::npos) << info;
    cvhost_close(first.host);
    first.host = nullptr;
    double value = 0;
    EXPECT_EQ(cvhost_ljungcv(installed.host, 10, 0.05, nullptr, &value, nullptr), CVHOST_STATUS_OK);
    char small[8];
    EXPECT_EQ(cvhost_module_info(installed.host, small, sizeof small), info.size());
    EXPECT_EQ(std::string(small), info.substr(0, 7));
}

TEST(CvhostTest, RefusesWhatIsNotAModule)
{
    const struct {
        const char* path;
        const char* reason;
    } failures[] = {
        {"no/such/libcvmodule.so", "cannot load module 'no/such/libcvmodule.so': "},
        {FAKE_PLAIN, "is not a function module: it does not export mcn_main"},
    };
    for (const auto& failure : failures) {
        Handle handle(failure.path);
        EXPECT_EQ(handle.host, nullptr);
        EXPECT_NE(std::strstr(handle.message, failure.reason), nullptr) << handle.message;
        EXPECT_EQ(std::strchr(handle.message, '\n'), nullptr);
    }
    // Truncated, still terminated; no message wanted.
    char tiny[6];
    EXPECT_EQ(cvhost_open("no/such/file", tiny, sizeof tiny), nullptr);
    EXPECT_EQ(std::string(tiny), "canno");
    EXPECT_EQ(cvhost_open("no/such/file", nullptr, 0), nullptr);
}

TEST(CvhostTest, NullArguments)
{
    double value = 0;
    int rejected = -1;
    EXPECT_EQ(cvhost_ljungcv(nullptr, 10, 0.05, nullptr, &value, &rejected), CVHOST_STATUS_NO_RESULT);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(value), MISSING_BITS);
    EXPECT_EQ(rejected, 0);
    Handle handle;
    ASSERT_NE(handle.host, nullptr) << handle.message;
    EXPECT_EQ(cvhost_ljungcv(handle.host, 10, 0.05, nullptr, nullptr, nullptr), CVHOST_STATUS_OK);

    const double n[2] = {10, 20};
    const double alpha[2] = {0.05, 0.01};
    double values[2] = {0, 0};
    std::int32_t statuses[2] = {-1, -1};
    cvhost_ljungcv_many(handle.host, 2, n, nullptr, nullptr, values, statuses);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(values[1]), MISSING_BITS);
    EXPECT_EQ(statuses[1], CVHOST_STATUS_NO_RESULT);
    cvhost_ljungcv_many(handle.host, 2, n, alpha, nullptr, nullptr, statuses);
    EXPECT_EQ(statuses[1], CVHOST_STATUS_OK);
    cvhost_ljungcv_many(handle.host, 2, n, alpha, nullptr, values, nullptr);
    EXPECT_EQ(values[0], 3.087110344600084);

    char buffer[4] = "abc";
    EXPECT_EQ(cvhost_module_info(nullptr, buffer, sizeof buffer), 0U);
    EXPECT_EQ(buffer[0], '\0');
    cvhost_close(nullptr);

    // The 1.1 calls: a NULL handle or array answers as the batch does, NULL
    // outputs are skipped, texts are never NULL.
    std::int32_t ranges[2] = {-1, -1};
    std::int32_t flagged[2] = {-1, -1};
    cvhost_assess_many(nullptr, 2, n, alpha, nullptr, values, statuses, flagged, ranges);
    EXPECT_EQ(statuses[0], CVHOST_STATUS_NO_RESULT);
    EXPECT_EQ(ranges[0], CVHOST_RANGE_HOLDS);
    cvhost_assess_many(handle.host, 2, n, alpha, "X", values, statuses, flagged, nullptr);
    EXPECT_EQ(statuses[0], CVHOST_STATUS_INVALID_ARGUMENT);
    EXPECT_EQ(flagged[1], 3);
    std::size_t count = 99;
    EXPECT_EQ(cvhost_limits(nullptr, nullptr, 0.05, 0, nullptr, nullptr, nullptr, &count), CVHOST_STATUS_NO_RESULT);
    EXPECT_EQ(count, 0U);
    EXPECT_EQ(cvhost_limits(handle.host, "L", 0.05, 0, nullptr, nullptr, nullptr, &count), CVHOST_STATUS_OK);
    EXPECT_GT(count, 1U);  // the asymptotic curve falls before it rises
    const char* name = "x";
    EXPECT_EQ(cvhost_info_field(nullptr, 0, &name, nullptr), 0);
    EXPECT_EQ(name, nullptr);
    EXPECT_STREQ(cvhost_range_text(-1), "unknown range");
    EXPECT_STREQ(cvhost_status_text(7), "unknown status");
    EXPECT_EQ(cvhost_explain(nullptr, 10, 0.05, nullptr, CVHOST_STATUS_OK, 0, CVHOST_RANGE_HOLDS, nullptr, 0), 0U);
    EXPECT_EQ(cvhost_version(), CVHOST_VERSION);
    EXPECT_TRUE(cvhost_is_missing(std::bit_cast<double>(MISSING_BITS | 0xFFFF)));
    EXPECT_FALSE(cvhost_is_missing(std::bit_cast<double>(0x7FF8000000000000ULL)));
}

}  // namespace

// Whether a method text is known is the function's own reading: on runs of
// keywords, their pieces and random texts of the keywords' letters, in any
// case and with blanks, the answer is what the module's evaluation says.
TEST(CvhostTest, MethodKnownAgreesWithTheModule)
{
    Handle handle;
    ASSERT_NE(handle.host, nullptr) << handle.message;
    std::vector<std::string> texts{"", " ", "C", "l", " Ljung ", "L C", "C CORR", "CORRECT LJUNG", "LJUNG CORRECTED",
                                   "CORRECTED ", "L  C", "LC", "CORRECTE", "CORRECTEDX", "both", "\tC"};
    std::mt19937 random(20261209);
    const std::string letters = "LCORETJUNGlcoretjung  ";
    for (int i = 0; i < 4000; ++i) {
        std::string text(random() % 12, ' ');
        for (char& c : text) {
            c = letters[random() % letters.size()];
        }
        texts.push_back(text);
    }
    int known = 0;
    for (const std::string& text : texts) {
        int rejected = -1;
        double value = 0.0;
        cvhost_ljungcv(handle.host, 10, 0.05, text.c_str(), &value, &rejected);
        EXPECT_EQ(cvhost_method_known(text.c_str()), rejected != 3 ? 1 : 0) << "'" << text << "'";
        known += rejected != 3 ? 1 : 0;
    }
    EXPECT_GT(known, 20);  // the random texts reach accepted runs too
    EXPECT_EQ(cvhost_method_known(nullptr), 0);
}

// The level range the library states is the one the module checks.
TEST(CvhostTest, LevelRangeIsTheModules)
{
    Handle handle;
    ASSERT_NE(handle.host, nullptr) << handle.message;
    double lowest = NAN;
    double highest = NAN;
    cvhost_level_range(&lowest, &highest);
    cvhost_level_range(nullptr, nullptr);
    const auto rejected_at = [&](double alpha) {
        int rejected = -1;
        cvhost_ljungcv(handle.host, 10, alpha, nullptr, nullptr, &rejected);
        return rejected;
    };
    EXPECT_EQ(rejected_at(lowest), 0);
    EXPECT_EQ(rejected_at(highest), 0);
    EXPECT_EQ(rejected_at(std::nextafter(lowest, -1.0)), 2);
    EXPECT_EQ(rejected_at(std::nextafter(highest, 1.0)), 2);
}
