// The random numbers the calibrated critical value draws, from transforms
// written here rather than the standard library's distributions, whose
// algorithms differ between libraries: the bits come from std::mt19937_64,
// whose sequence the C++ standard fixes, and every transform is a few
// lines below. A seed gives the same draws wherever the C library's log
// and pow round alike (glibc everywhere; another libm may differ in the
// last bits of a draw).
#ifndef CORE_RANDOM_DRAWS_H
#define CORE_RANDOM_DRAWS_H

#include <cstdint>
#include <random>

namespace core::calibration {

class RandomDraws {
public:
    explicit RandomDraws(std::uint64_t seed) : bits_(seed) {}

    // Uniform on the open interval (0, 1): the top 53 bits of a draw and a
    // half, times 2^-53, so neither 0 nor 1 comes out.
    double uniform();
    // Uniform on (-1, 1).
    double symmetric_uniform() { return 2.0 * uniform() - 1.0; }
    // A standard normal variate by Marsaglia's polar method (Marsaglia and
    // Bray 1964); one of the pair per call.
    double normal();
    // A Student t variate with dof > 0 degrees of freedom by Bailey's polar
    // method (Bailey 1994, Math. Comp. 62, 779-781); infinite dof: normal().
    double student_t(double dof);
    // An index uniform on 0..count-1 (count > 0), by rejection, so that no
    // index is more likely than another.
    std::uint64_t index(std::uint64_t count);

private:
    // The polar methods' draw: a point (u, v) uniform in the open unit disc
    // by rejection; u and w = u^2 + v^2.
    struct DiscPoint {
        double u;
        double w;
    };
    DiscPoint disc_point();

    std::mt19937_64 bits_;
};

}  // namespace core::calibration

#endif
