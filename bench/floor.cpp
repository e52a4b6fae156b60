// The floor of each method (see floor.h).
//
// Built with the module's own floating-point options, so that the retraced
// arithmetic rounds exactly as the module's does and the floor's log and sqrt
// compile to the same calls and instructions.
#include "floor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <stdexcept>

#include "cv/critical_value.h"
#include "numeric/linear_solver.h"
#include "numeric/normal_quantile.h"

namespace bench {

namespace {

// The normal quantile's split between its central and tail branches.
constexpr double QUANTILE_SPLIT = 0.42;

// Calls std::log and std::sqrt and records each argument in order.
template <int Logs, int Sqrts>
class Recorder {
public:
    explicit Recorder(FloorArguments<Logs, Sqrts>& out) : out_(out) {}

    double log(double x)
    {
        out_.logs.at(static_cast<std::size_t>(logs_++)) = x;
        return std::log(x);
    }

    double sqrt(double x)
    {
        out_.sqrts.at(static_cast<std::size_t>(sqrts_++)) = x;
        return std::sqrt(x);
    }

    // Every slot filled, none twice (at() would have thrown).
    bool complete() const { return logs_ == Logs && sqrts_ == Sqrts; }

private:
    FloorArguments<Logs, Sqrts>& out_;
    int logs_ = 0;
    int sqrts_ = 0;
};

// Ljung's steps, with every log and sqrt recorded.
template <typename R>
double ljung_steps(std::int32_t n, double alpha, R& rec)
{
    const double x = static_cast<double>(n);
    const double c = rec.log(x);
    const double s = rec.sqrt(c + c);
    const double u = rec.sqrt(1.0 + alpha);
    const double v = 2.0 - u;
    const double w = rec.log(v);
    const double d = rec.log(w * -0.5);
    const double e = rec.log(c);
    const double t1 = (0.0 - d) / s;
    const double t2 = s - (e + K) / (s + s);
    return t1 + t2;
}

}  // namespace

CorrectedFloor retrace_corrected(std::int32_t n, double alpha)
{
    CorrectedFloor out;
    Recorder rec(out);
    constexpr double SIZES[3] = {2.0, 100.0, 200.0};
    double A[9];
    double y[3];
    for (int i = 0; i < 3; ++i) {
        const double m = SIZES[i];
        const double c = rec.log(m);
        if (i == 0) {
            double p = (rec.sqrt(1.0 - alpha) + 1.0) * 0.5;
            std::int32_t fault = 0;
            y[0] = normal_quantile(&p, &fault);
            // The quantile's own calls: its tail branch for p near 1.
            if (fault != 0 || !(p - 0.5 > QUANTILE_SPLIT)) {
                throw std::invalid_argument("retrace_corrected: alpha outside (0, 0.1]");
            }
            rec.sqrt(0.0 - rec.log(1.0 - p));
        } else {
            y[i] = ljung_steps(static_cast<std::int32_t>(m), alpha, rec);
        }
        A[i] = 1.0;
        const double s = rec.sqrt(c + c);
        A[i + 6] = s;
        A[i + 3] = (rec.log(c) + K) / (s * 2.0);
    }
    std::int32_t order = 3;
    std::int32_t flag = 0;
    double x[3];
    solve_linear_system(&order, A, y, &order, x, &flag);
    const double c = rec.log(static_cast<double>(n));
    const double s = rec.sqrt(c + c);
    const double e = rec.log(c);
    const double t = (K + e) / (s + s);
    out.value = (t * x[1] + x[0]) + x[2] * s;
    if (flag != 1 || !rec.complete()) {
        throw std::logic_error("retrace_corrected: the calls do not match the method's count");
    }
    return out;
}

LjungFloor retrace_ljung(std::int32_t n, double alpha)
{
    LjungFloor out;
    Recorder rec(out);
    out.value = ljung_steps(n, alpha, rec);
    if (!rec.complete()) {
        throw std::logic_error("retrace_ljung: the calls do not match the method's count");
    }
    return out;
}

namespace {

template <std::size_t Logs, std::size_t Sqrts>
void call_all(const std::array<double, Logs>& logs, const std::array<double, Sqrts>& sqrts)
{
    // Each argument is read from memory the optimiser must treat as changed
    // (DoNotOptimize clobbers memory), and each result is kept.
    for (const double& a : logs) {
        benchmark::DoNotOptimize(a);
        double r = std::log(a);
        benchmark::DoNotOptimize(r);
    }
    for (const double& a : sqrts) {
        benchmark::DoNotOptimize(a);
        double r = std::sqrt(a);
        benchmark::DoNotOptimize(r);
    }
}

}  // namespace

void run_floor(const CorrectedFloor& arguments)
{
    call_all(arguments.logs, arguments.sqrts);
}

void run_floor(const LjungFloor& arguments)
{
    call_all(arguments.logs, arguments.sqrts);
}

}  // namespace bench
