// The transforms, each as its paper gives it.
//
// Polar normal: (u, v) uniform on the unit disc, w = u^2 + v^2 in (0, 1);
//   u sqrt(-2 ln(w) / w) is standard normal.
// Polar t (Bailey): the same (u, v, w); u sqrt(nu (w^(-2/nu) - 1) / w) has
//   Student's t law with nu degrees of freedom. w^(-2/nu) - 1 is formed as
//   expm1(-(2/nu) ln w) so that it keeps its digits at large nu, where it
//   tends to -(2/nu) ln w and the draw to the normal one.
#include "random_draws.h"

#include <cmath>

namespace core::calibration {

namespace {

constexpr double TWO_TO_MINUS_53 = 0x1p-53;

}  // namespace

double RandomDraws::uniform()
{
    return (static_cast<double>(bits_() >> 11) + 0.5) * TWO_TO_MINUS_53;
}

std::uint64_t RandomDraws::index(std::uint64_t count)
{
    // The largest multiple of count that 2^64 holds, less one: draws above
    // it would favour the small indices.
    const std::uint64_t limit = UINT64_MAX - (UINT64_MAX % count + 1) % count;
    std::uint64_t x = bits_();
    while (x > limit) {
        x = bits_();
    }
    return x % count;
}

RandomDraws::DiscPoint RandomDraws::disc_point()
{
    double u = 0;
    double w = 0;
    do {
        u = symmetric_uniform();
        const double v = symmetric_uniform();
        w = u * u + v * v;
    } while (w >= 1.0);
    return {u, w};
}

double RandomDraws::normal()
{
    const auto [u, w] = disc_point();
    return u * std::sqrt(-2.0 * std::log(w) / w);
}

double RandomDraws::student_t(double dof)
{
    if (std::isinf(dof)) {
        return normal();
    }
    const auto [u, w] = disc_point();
    return u * std::sqrt(dof * std::expm1(-(2.0 / dof) * std::log(w)) / w);
}

}  // namespace core::calibration
