// The inverse look-up against what it claims, checked count by count with
// the module's values and the curve's stretches.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/explanations.h"
#include "core/ljungcv.h"
#include "core/reach.h"
#include "core/stretches.h"

namespace core {
namespace {

class Reaching : public ::testing::Test {
protected:
    ModuleSession session{CVMODULE_PATH};

    // Whether a crossing lies in the stretch: below c at its first count,
    // at or above it at its last (where the curve holds it does not fall).
    static bool crosses_in(Curve& curve, const Stretch& stretch, double alpha, double c)
    {
        return stretch.range == Range::holds && curve.at(stretch.first, alpha).value < c &&
               curve.at(stretch.last, alpha).value >= c;
    }
};

TEST_F(Reaching, EachAnswerHoldsWhatItSays)
{
    const double levels[] = {0.1, 0.05, 0.01, 0.001, 1e-6};
    const double thresholds[] = {-1.0, 1.9, 2.5, 3.5, 4.9, 6.0, 100.0};
    int seen[3] = {0, 0, 0};
    for (const Method method : every_method()) {
        Curve curve(session, method);
        for (const double alpha : levels) {
            const std::vector<Stretch> found = stretches(curve, alpha);
            for (const double c : thresholds) {
                const ThresholdReach answer = reach(curve, alpha, c);
                ++seen[static_cast<int>(answer.reach)];
                const std::string where = std::string(method_keyword(method)) + " " + std::to_string(alpha) + " " +
                                          std::to_string(c) + ": " + explain_reach(answer, alpha, c, method);
                const Point at_n = curve.at(answer.n, alpha);
                std::size_t home = found.size();  // the stretch of n
                for (std::size_t i = 0; i < found.size(); ++i) {
                    home = found[i].first <= answer.n && answer.n <= found[i].last ? i : home;
                }
                switch (answer.reach) {
                case Reach::crosses: {
                    ASSERT_LT(home, found.size()) << where;
                    EXPECT_EQ(found[home].range, Range::holds) << where;
                    EXPECT_GT(answer.n, found[home].first) << where;  // n - 1 holds too
                    EXPECT_GE(at_n.value, c) << where;
                    EXPECT_LT(curve.at(answer.n - 1.0, alpha).value, c) << where;
                    EXPECT_EQ(answer.value, at_n.value) << where;
                    EXPECT_EQ(answer.previous, curve.at(answer.n - 1.0, alpha).value) << where;
                    for (std::size_t i = 0; i < home; ++i) {
                        EXPECT_FALSE(crosses_in(curve, found[i], alpha, c)) << where << ": an earlier crossing";
                    }
                    break;
                }
                case Reach::from_start:
                    ASSERT_LT(home, found.size()) << where;
                    EXPECT_EQ(found[home].range, Range::holds) << where;
                    EXPECT_EQ(answer.n, found[home].first) << where;
                    EXPECT_GE(at_n.value, c) << where;
                    for (const Stretch& stretch : found) {
                        EXPECT_FALSE(crosses_in(curve, stretch, alpha, c)) << where << ": a crossing";
                        EXPECT_FALSE(stretch.range == Range::holds && stretch.first < answer.n &&
                                     curve.at(stretch.first, alpha).value >= c)
                            << where << ": an earlier stretch starts at or above c";
                    }
                    break;
                case Reach::never:
                    for (const Stretch& stretch : found) {
                        if (stretch.range == Range::holds) {
                            EXPECT_LT(curve.at(stretch.last, alpha).value, c) << where;
                            EXPECT_LE(curve.at(stretch.last, alpha).value, answer.value) << where;
                        }
                    }
                    EXPECT_EQ(answer.value, at_n.value) << where;
                    if (!std::isnan(answer.outside_n)) {
                        EXPECT_GE(curve.at(answer.outside_n, alpha).value, c) << where;
                        EXPECT_LT(curve.at(answer.outside_n - 1.0, alpha).value, c) << where;
                    }
                    break;
                }
            }
        }
    }
    // The thresholds meet every kind of answer.
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
}

}  // namespace
}  // namespace core
