// L-BFGS glue: LBFGS++'s solver with a numerical gradient.
#include "unconstrained_search.h"

#include <Eigen/Core>
#include <LBFGSpp/BFGSMat.h>

// LBFGS++'s update of its Hessian approximation, as the library writes it,
// with the safeguard of the method's textbook form: a pair (s, y) whose
// curvature s'y is not positive is skipped and the approximation kept. The
// library divides by s'y; where the objective is flat up to rounding (a fit
// that its regressors all but reproduce), s'y is 0. The pair is written and
// s'y formed exactly as the library does, so every other step keeps its bits.
template <>
inline void LBFGSpp::BFGSMat<double, false>::add_correction(const RefConstVec& s, const RefConstVec& y)
{
    const int loc = m_ptr % m_m;
    const Vector old_s = m_s.col(loc);
    const Vector old_y = m_y.col(loc);
    m_s.col(loc).noalias() = s;
    m_y.col(loc).noalias() = y;
    const double ys = m_s.col(loc).dot(m_y.col(loc));
    if (!(ys > 0.0)) {
        m_s.col(loc) = old_s;
        m_y.col(loc) = old_y;
        return;
    }
    m_ys[loc] = ys;
    m_theta = m_y.col(loc).squaredNorm() / ys;
    if (m_ncorr < m_m)
        m_ncorr++;
    m_ptr = loc + 1;
}

#include <LBFGS.h>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>

namespace engine {

namespace {

// Central differences, h = 1e-5 on parameters of order one: truncation
// error O(h^2) = 1e-10 against rounding of order eps |f| / h = 1e-11 |f|.
constexpr double kGradientStep = 1e-5;
// Forward differences: truncation O(h) = 1e-8 against rounding
// eps |f| / h = 2e-8 |f|.
constexpr double kForwardStep = 1e-8;
// Fresh starts after a line search gives up, and the evaluations after
// which no more are made (each iteration of a search costs 2 k + 1).
constexpr int kRestarts = 2;
constexpr int kRestartEvaluationLimit = 20000;

// The best point is kept here because LBFGS++ leaves its x at the last
// trial step when a line search gives up. Its gradient is formed only when
// asked for: a trial step the line search turns down needs its value alone.
struct Objective {
    Objective(const std::function<double(const std::vector<double>&)>& objective, Differences rule)
        : f(objective), differences(rule)
    {
    }

    const std::function<double(const std::vector<double>&)>& f;
    Differences differences;
    int evaluations = 0;
    int improvements = -1;  // the start is not a step
    std::vector<double> best_x;
    double best_value = std::numeric_limits<double>::infinity();
    std::optional<Eigen::VectorXd> best_gradient;

    double value(const std::vector<double>& x)
    {
        ++evaluations;
        const double fx = f(x);
        return std::isnan(fx) ? std::numeric_limits<double>::infinity() : fx;
    }

    // The value at x, which becomes the best point when below every earlier one.
    double trial(const Eigen::VectorXd& x)
    {
        std::vector<double> point(x.data(), x.data() + x.size());
        const double fx = value(point);
        if (fx < best_value) {
            ++improvements;
            best_value = fx;
            best_x = std::move(point);
            best_gradient.reset();
        }
        return fx;
    }

    // The gradient at x, whose value is fx.
    void gradient(const Eigen::VectorXd& x, double fx, Eigen::VectorXd& grad)
    {
        std::vector<double> point(x.data(), x.data() + x.size());
        for (Eigen::Index i = 0; i < x.size(); ++i) {
            const auto k = static_cast<std::size_t>(i);
            const double xi = point[k];
            if (differences == Differences::central) {
                point[k] = xi + kGradientStep;
                const double up = value(point);
                point[k] = xi - kGradientStep;
                const double down = value(point);
                grad(i) = (up - down) / (2.0 * kGradientStep);
            } else {
                point[k] = xi + kForwardStep;
                grad(i) = (value(point) - fx) / kForwardStep;
            }
            point[k] = xi;
            if (!std::isfinite(grad(i)))
                grad(i) = 0.0;  // at the edge of the defined region
        }
        if (point == best_x)
            best_gradient = grad;
    }

    double operator()(const Eigen::VectorXd& x, Eigen::VectorXd& grad)
    {
        const double fx = trial(x);
        gradient(x, fx, grad);
        return fx;
    }

    // The largest |component| of the gradient at the best point.
    double best_gradient_norm()
    {
        if (!best_gradient) {
            Eigen::VectorXd grad(static_cast<Eigen::Index>(best_x.size()));
            gradient(Eigen::Map<const Eigen::VectorXd>(best_x.data(), grad.size()), best_value, grad);
        }
        return best_gradient->size() == 0 ? 0.0 : best_gradient->cwiseAbs().maxCoeff();
    }
};

// LBFGS++'s backtracking line search under the Armijo condition, step for
// step, but with the gradient formed only at the step it accepts: the same
// steps and the same bits, at 1 + 2 k evaluations a step accepted and one a
// step turned down, where the library's pays 1 + 2 k for each.
template <typename Scalar>
class ArmijoBacktracking {
public:
    using Vector = Eigen::Matrix<Scalar, Eigen::Dynamic, 1>;

    static void LineSearch(Objective& f, Scalar& fx, Vector& x, Vector& grad, Scalar& step, const Vector& drt,
                           const Vector& xp, const LBFGSpp::LBFGSParam<Scalar>& param)
    {
        const Scalar dec = 0.5;
        if (step <= Scalar(0))
            throw std::invalid_argument("'step' must be positive");
        const Scalar fx_init = fx;
        const Scalar dg_init = grad.dot(drt);
        if (dg_init > 0)
            throw std::logic_error("the moving direction increases the objective function value");
        const Scalar test_decr = param.ftol * dg_init;
        for (int iter = 0; iter < param.max_linesearch; ++iter) {
            x.noalias() = xp + step * drt;
            fx = f.trial(x);
            if (!(fx > fx_init + step * test_decr || std::isnan(fx))) {
                f.gradient(x, fx, grad);
                return;
            }
            if (step < param.min_step)
                throw std::runtime_error("the line search step became smaller than the minimum value allowed");
            if (step > param.max_step)
                throw std::runtime_error("the line search step became larger than the maximum value allowed");
            step *= dec;
        }
        throw std::runtime_error("the line search routine reached the maximum number of iterations");
    }
};

}  // namespace

SearchResult minimize(const std::function<double(const std::vector<double>&)>& objective, std::vector<double> x0,
                      int max_iterations, double gradient_tolerance, Differences differences)
{
    SearchResult result;
    Objective f(objective, differences);
    if (x0.empty()) {
        result.value = f.value(x0);
        result.evaluations = f.evaluations;
        result.converged = std::isfinite(result.value);
        if (!result.converged)
            result.message = "the objective is not finite";
        return result;
    }
    LBFGSpp::LBFGSParam<double> param;
    param.epsilon = gradient_tolerance;
    param.epsilon_rel = 0.0;
    param.max_iterations = max_iterations;
    param.max_linesearch = 40;
    Eigen::VectorXd x = Eigen::Map<const Eigen::VectorXd>(x0.data(), static_cast<Eigen::Index>(x0.size()));
    std::string stopped;
    // A line search that gives up far from the optimum (the quasi-Newton
    // direction gone stale, as near the invertibility boundary) starts again
    // from the best point with the memory cleared, a bounded number of times.
    for (int attempt = 0; attempt <= kRestarts; ++attempt) {
        stopped.clear();
        param.max_iterations = max_iterations - std::max(f.improvements, 0);  // the bound holds for them all
        if (param.max_iterations <= 0)
            break;
        LBFGSpp::LBFGSSolver<double, ArmijoBacktracking> solver(param);
        try {
            double fx = 0.0;
            solver.minimize(f, x, fx);
        } catch (const std::exception& error) {
            stopped = error.what();
        }
        const bool small = !f.best_x.empty() && f.best_gradient_norm() <= 10.0 * gradient_tolerance;
        if (stopped.empty() || small || f.best_x.empty() || f.evaluations >= kRestartEvaluationLimit)
            break;
        x = Eigen::Map<const Eigen::VectorXd>(f.best_x.data(), static_cast<Eigen::Index>(f.best_x.size()));
    }
    // Counted as the steps that lowered the objective: LBFGS++ does not say
    // how far it got when a line search gives up.
    result.iterations = std::max(f.improvements, 0);
    result.evaluations = f.evaluations;
    if (f.best_x.empty()) {
        result.x = std::move(x0);
        result.value = std::numeric_limits<double>::infinity();
        result.message = "the objective is not finite at the start";
        return result;
    }
    result.x = f.best_x;
    result.value = f.best_value;
    result.gradient_norm = f.best_gradient_norm();
    // A line search that gives up beside the optimum, where rounding hides
    // any further descent, has still converged if the gradient there is small.
    result.converged = std::isfinite(f.best_value) && result.gradient_norm <= 10.0 * gradient_tolerance;
    if (!result.converged) {
        if (!std::isfinite(f.best_value))
            result.message = "the objective is not finite";
        else if (!stopped.empty())
            result.message =
                "the line search stopped (" + stopped + ") with gradient " + std::to_string(result.gradient_norm);
        else
            result.message = "no convergence in " + std::to_string(max_iterations) + " iterations (gradient " +
                             std::to_string(result.gradient_norm) + ")";
    }
    return result;
}

}  // namespace engine
