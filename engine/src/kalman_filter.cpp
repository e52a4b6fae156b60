// Two Kalman filters for the regression-with-ARMA-errors model: the fast one
// for a complete (differenced) series, and the general one for missing
// values, with the differencing in the state.
#include "kalman_filter.h"

#include <Eigen/Dense>
#include <cmath>
#include <limits>

namespace engine {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

// Morf, Sidhu & Kailath (1974); in the form of Herbst (2015), with
// Kbar_t = T P_t Z', F_t = Z P_t Z' (no observation noise) and the change
// P_{t+1} - P_t = W_t M_t W_t':
//   v_t = y_t - Z a_t,   a_{t+1} = T a_t + Kbar_t v_t / F_t,
//   F_{t+1} = F_t + (Z W_t)^2 M_t,
//   Kbar_{t+1} = Kbar_t + T W_t M_t (Z W_t),
//   M_{t+1} = M_t + M_t^2 (Z W_t)^2 / F_t,
//   W_{t+1} = T W_t - Kbar_{t+1} (Z W_t) / F_{t+1}.
// With P_1 stationary, P_1 = T P_1 T' + R R', so P_2 - P_1 = -Kbar_1 Kbar_1' / F_1:
// W_1 = Kbar_1 and M_1 = -1 / F_1, and the change stays of rank one.
FilterOutput filter_complete(const ArmaStateSpace& model, std::span<const double> first_column,
                             std::span<const double> data, std::size_t n, std::size_t columns, double steady_tolerance)
{
    const std::size_t r = model.r;
    FilterOutput out;
    out.v.assign(n * columns, kNaN);
    out.F.assign(n, kNaN);

    std::vector<double> a(r * columns, 0.0), Ta(r);
    std::vector<double> Kbar(r), W(r), TW(r);
    double F = first_column[0];
    apply_transition(model, first_column, Kbar);
    W = Kbar;
    double M = -1.0 / F;
    bool steady = false;
    double log_F = std::log(F);  // formed when F changes: once steady, never again

    for (std::size_t t = 0; t < n; ++t) {
        out.F[t] = F;
        out.sum_log_F += log_F;
        ++out.used;
        for (std::size_t c = 0; c < columns; ++c) {
            std::span<double> ac(a.data() + c * r, r);
            const double v = data[c * n + t] - ac[0];
            out.v[c * n + t] = v;
            apply_transition(model, ac, Ta);
            const double gain = v / F;
            for (std::size_t i = 0; i < r; ++i)
                ac[i] = Ta[i] + Kbar[i] * gain;
        }
        if (steady)
            continue;
        const double ZW = W[0];
        const double F_next = F + ZW * ZW * M;
        if (!(F_next > 0.0)) {
            // F_t falls towards 1 from above; at a trial point near the
            // invertibility boundary rounding can take it to 0 or below:
            // the data have no density there.
            out.sum_log_F = std::numeric_limits<double>::infinity();
            return out;
        }
        apply_transition(model, W, TW);
        for (std::size_t i = 0; i < r; ++i)
            Kbar[i] += TW[i] * (M * ZW);
        const double M_next = M + M * M * ZW * ZW / F;
        for (std::size_t i = 0; i < r; ++i)
            W[i] = TW[i] - Kbar[i] * (ZW / F_next);
        double largest = 0.0;
        for (double w : W)
            largest = std::max(largest, w * w);
        F = F_next;
        log_F = std::log(F);
        M = M_next;
        steady = largest * std::fabs(M) < steady_tolerance;
    }
    return out;
}

namespace {

// The state (ARMA state a of length r, then u_{t-1}, ..., u_{t-k}) with
// u_t = a[0] + sum_j delta_j u_{t-j} the undifferenced disturbance:
// Z = (1, 0, ..., 0, delta_1, ..., delta_k); T moves the ARMA block, puts
// u_t = Z alpha_t first among the lags and shifts the rest down.
struct AugmentedState {
    const ArmaStateSpace& arma;
    std::vector<double> delta;  // delta_1..delta_k
    std::size_t r, m;

    AugmentedState(const ArmaStateSpace& model, std::span<const double> diff)
        : arma(model), r(model.r), m(model.r + diff.size() - 1)
    {
        for (std::size_t j = 1; j < diff.size(); ++j)
            delta.push_back(-diff[j]);
    }

    // Z X for each column of X: one row.
    Eigen::RowVectorXd Z_times(const Eigen::MatrixXd& X) const
    {
        Eigen::RowVectorXd z = X.row(0);
        for (std::size_t j = 0; j < delta.size(); ++j)
            if (delta[j] != 0.0)
                z += delta[j] * X.row(static_cast<Eigen::Index>(r + j));
        return z;
    }

    // T X, by rows.
    Eigen::MatrixXd T_times(const Eigen::MatrixXd& X) const
    {
        const auto ri = static_cast<Eigen::Index>(r);
        Eigen::MatrixXd Y(X.rows(), X.cols());
        for (Eigen::Index i = 0; i + 1 < ri; ++i)
            Y.row(i) = arma.phi[static_cast<std::size_t>(i)] * X.row(0) + X.row(i + 1);
        Y.row(ri - 1) = arma.phi[r - 1] * X.row(0);
        if (m > r) {
            Y.row(ri) = Z_times(X);
            for (Eigen::Index i = ri + 1; i < static_cast<Eigen::Index>(m); ++i)
                Y.row(i) = X.row(i - 1);
        }
        return Y;
    }

    // T P T' + R R' (R only reaches the ARMA block).
    Eigen::MatrixXd predict(const Eigen::MatrixXd& P, bool add_noise) const
    {
        Eigen::MatrixXd next = T_times(T_times(P).transpose());
        next = 0.5 * (next + next.transpose());
        if (add_noise)
            for (std::size_t i = 0; i < r; ++i)
                for (std::size_t j = 0; j < r; ++j)
                    next(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) += arma.R[i] * arma.R[j];
        return next;
    }
};

// F_inf below this is zero: it is a sum of products of the differencing
// operator's small integer coefficients, so a true nonzero is near 1.
constexpr double kDiffuseZero = 1e-8;

}  // namespace

// Durbin & Koopman (2012), section 5.2, in the univariate form of Koopman &
// Durbin (2000): P_t = P_*,t + kappa P_inf,t with kappa -> infinity,
// P_inf,1 the identity on the lags of u and zero on the ARMA block,
// P_*,1 = P_1 on the ARMA block. At each observed y_t, with
// M_inf = P_inf Z', M_* = P_* Z', F_inf = Z M_inf, F_* = Z M_*:
//   F_inf > 0:  a += M_inf v / F_inf,
//               P_* += M_inf M_inf' F_* / F_inf^2 - (M_* M_inf' + M_inf M_*') / F_inf,
//               P_inf -= M_inf M_inf' / F_inf;   log L gets -1/2 log F_inf only;
//   F_inf = 0:  a += M_* v / F_*,  P_* -= M_* M_*' / F_*;  log L gets
//               -1/2 (log F_* + v^2 / F_*) as in the ordinary filter.
// Then a = T a, P_* = T P_* T' + R R', P_inf = T P_inf T'. A missing y_t
// skips the update (section 4.10). Once P_inf is zero the filter is the
// ordinary one; once P_* stops changing it is held until the next missing value.
FilterOutput filter_diffuse(const ArmaStateSpace& model, std::span<const double> P1, std::span<const double> diff,
                            std::span<const double> data, std::size_t n, std::size_t columns, double steady_tolerance)
{
    const AugmentedState state(model, diff);
    const auto m = static_cast<Eigen::Index>(state.m);
    const auto r = static_cast<Eigen::Index>(state.r);
    FilterOutput out;
    out.v.assign(n * columns, kNaN);
    out.F.assign(n, kNaN);

    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(m, static_cast<Eigen::Index>(columns));
    Eigen::MatrixXd P_star = Eigen::MatrixXd::Zero(m, m);
    for (Eigen::Index i = 0; i < r; ++i)
        for (Eigen::Index j = 0; j < r; ++j)
            P_star(i, j) = P1[static_cast<std::size_t>(i * r + j)];
    Eigen::MatrixXd P_inf = Eigen::MatrixXd::Zero(m, m);
    for (Eigen::Index i = r; i < m; ++i)
        P_inf(i, i) = 1.0;
    bool diffuse = m > r;
    bool steady = false;
    Eigen::VectorXd M_star;
    Eigen::MatrixXd P_predicted;
    double F_star = 0.0;

    for (std::size_t t = 0; t < n; ++t) {
        const bool observed = !std::isnan(data[t]);
        bool ordinary = false;  // an update of the ordinary filter, after which P_t may have settled
        if (!observed)
            steady = false;
        if (observed) {
            if (!steady) {
                P_predicted = P_star;
                M_star = state.Z_times(P_star).transpose();  // P symmetric: P Z' = (Z P)'
                F_star = state.Z_times(M_star)(0);
            }
            Eigen::RowVectorXd v = state.Z_times(a);
            for (std::size_t c = 0; c < columns; ++c)
                v(static_cast<Eigen::Index>(c)) = data[c * n + t] - v(static_cast<Eigen::Index>(c));
            double F_inf = 0.0;
            Eigen::VectorXd M_inf;
            if (diffuse) {
                M_inf = state.Z_times(P_inf).transpose();
                F_inf = state.Z_times(M_inf)(0);
            }
            if (diffuse && F_inf > kDiffuseZero) {
                a += M_inf * (v / F_inf);
                P_star += M_inf * M_inf.transpose() * (F_star / (F_inf * F_inf)) -
                          (M_star * M_inf.transpose() + M_inf * M_star.transpose()) / F_inf;
                P_inf -= M_inf * M_inf.transpose() / F_inf;
                out.sum_log_F += std::log(F_inf);
                if (P_inf.cwiseAbs().maxCoeff() < kDiffuseZero) {
                    diffuse = false;
                    P_inf.setZero();
                }
            } else {
                if (!(F_star > 0.0)) {
                    // A prediction without variance (a model on the edge of its
                    // region, after a gap): the data have no density there.
                    out.sum_log_F = std::numeric_limits<double>::infinity();
                    return out;
                }
                for (std::size_t c = 0; c < columns; ++c)
                    out.v[c * n + t] = v(static_cast<Eigen::Index>(c));
                ordinary = true;
                out.F[t] = F_star;
                out.sum_log_F += std::log(F_star);
                ++out.used;
                a += M_star * (v / F_star);
                if (!steady)
                    P_star -= M_star * M_star.transpose() / F_star;
            }
        }
        a = state.T_times(a);
        if (steady)
            continue;
        Eigen::MatrixXd P_next = state.predict(P_star, true);
        if (diffuse) {
            P_inf = state.predict(P_inf, false);
        } else if (ordinary) {
            steady = (P_next - P_predicted).cwiseAbs().maxCoeff() < steady_tolerance;
        }
        P_star = std::move(P_next);
    }
    return out;
}

}  // namespace engine
