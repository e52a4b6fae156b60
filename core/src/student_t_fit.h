// How heavy the tails of a model's residuals are: Student's t law with
// centre 0, fitted to them by maximum likelihood in its degrees of freedom
// nu and its scale s together. Some residuals may be censored: known only
// to lie beyond a threshold, as those of outliers taken out of a series are.
#ifndef CORE_STUDENT_T_FIT_H
#define CORE_STUDENT_T_FIT_H

#include <cstddef>
#include <span>

namespace core::calibration {

// The bounds of nu. Below 2 the law has no variance, and residuals of a
// fit by least squares have one; above 1000 its quantiles out to 1 - 1e-6
// are the normal law's to within 0.1%.
inline constexpr double LIGHTEST_DOF = 1000.0;
inline constexpr double HEAVIEST_DOF = 2.05;

struct StudentTFit {
    // The fitted nu; infinite when the likelihood still rises at
    // LIGHTEST_DOF: the residuals are as light-tailed as the normal law's.
    double dof = 0;
    double scale = 0;  // s at that nu
    // Twice the log-likelihood's rise from nu = LIGHTEST_DOF to the fitted
    // nu: the likelihood-ratio statistic of t tails against normal ones.
    double likelihood_ratio = 0;
};

// Over the finite values of `residuals`, of which at least 3 must differ
// from 0 (else nothing is fitted: nu infinite, scale 0), and `beyond` more
// residuals of which only |e| > threshold is known.
StudentTFit fit_student_t(std::span<const double> residuals, std::size_t beyond = 0, double threshold = 0);

// P(|T| > x) for T of Student's t law with nu degrees of freedom, x >= 0:
// the regularized incomplete beta function I_z(nu/2, 1/2), z = nu / (nu + x^2).
double student_t_two_tails(double x, double nu);

// ln Gamma(x) for x > 0, to about 1e-14 relative:
// the recurrence up to x >= 10, then Stirling's series to 1/x^9. The C
// library's lgamma sets a global sign variable, which several threads may
// not write at once.
double log_gamma(double x);

}  // namespace core::calibration

#endif
