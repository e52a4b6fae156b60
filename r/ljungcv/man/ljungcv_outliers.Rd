\name{ljungcv_outliers}
\alias{ljungcv_outliers}
\alias{print.ljungcv_outliers}
\alias{summary.ljungcv_outliers}
\alias{print.summary.ljungcv_outliers}
\alias{plot.ljungcv_outliers}
\title{Find the Outliers of a Time Series under a Seasonal ARIMA Model}
\description{
  Fits a regression with seasonal ARIMA errors by exact maximum likelihood
  (as \code{\link{ljungcv_arima}} does), locates additive, level-shift,
  temporary-change or innovational outliers whose statistic exceeds the
  critical value \code{\link{ljungcv}(m, alpha, method)} for the \eqn{m}
  residuals tested, and refits the model with them as regressors, keeping
  those that stay significant, in rounds until nothing changes. The whole
  procedure runs in the module's core, in one call of the C interface
  (\code{cvhost_find_outliers}), with the same bits as the other
  front-ends. By default (\code{order = "auto"}) the model is identified
  from the series (as \code{\link{ljungcv_arima}} does), identified again
  on the series adjusted for the outliers found, and the procedure run once
  more under that model if it differs.
}
\usage{
ljungcv_outliers(x, order = "auto", seasonal = list(period = NA), xreg = NULL,
                 include.mean = NA, alpha = NULL, method = NULL, types = NULL,
                 delta = NULL, critical_value = NULL, max_rounds = NULL,
                 resamples = NULL, seed = NULL, identify = NULL)

\method{print}{ljungcv_outliers}(x, digits = max(3L, getOption("digits") - 3L), \dots)
\method{summary}{ljungcv_outliers}(object, \dots)
\method{plot}{ljungcv_outliers}(x, main = NULL, xlab = "Time", ylab = NULL, \dots)
}
\arguments{
  \item{x}{a numeric vector or \code{ts}: the series. \code{NA} (or
    \code{NaN}) is a missing value: its residual is not tested and it stays
    \code{NA} in the adjusted series; \code{Inf} is an error. At least 5
    residuals must be left to test. For the methods, the result of
    \code{ljungcv_outliers}.}
  \item{order}{\code{"auto"}, the model identified from the series (the
    default, unless a seasonal order or \code{include.mean} is given: then
    \eqn{(0, 0, 0)}, as before); or \eqn{(p, d, q)}: \eqn{p, q} from 0 to
    5, \eqn{d} from 0 to 2.}
  \item{seasonal}{\code{list(order = c(P, D, Q), period = s)}, or the order
    alone; the period \code{NA} (or left out) is \code{frequency(x)}. It
    matters only with a seasonal order, or with \code{order = "auto"}, which
    takes \code{list(period = s)} alone.}
  \item{xreg}{regressors of your own, as in \code{\link{ljungcv_arima}}: a
    vector, matrix or data frame of numbers with one row per value of
    \code{x}, none missing.}
  \item{include.mean}{\code{NA} (the default): a mean exactly when
    \eqn{d + D = 0}; \code{TRUE} or \code{FALSE} to say, with an order of
    your own only (\code{order = "auto"} chooses the constant).}
  \item{alpha}{the level of the critical value, between 0 and 0.1;
    \code{NULL}: 0.05.}
  \item{method}{the method of the critical value, as in
    \code{\link{ljungcv}}; \code{NULL}: the function's default, the
    corrected method (\code{"C"}).}
  \item{types}{the outlier types looked for, any of \code{"AO"} (additive),
    \code{"LS"} (level shift), \code{"TC"} (temporary change),
    \code{"IO"} (innovational) and, for a seasonal model, \code{"SLS"}
    (seasonal level shift: a step in one season, at T, T + s, T + 2s, ...);
    \code{NULL}: \code{c("AO", "LS", "TC")}.}
  \item{delta}{the decay of a temporary change, strictly between 0 and 1;
    \code{NULL}: 0.7.}
  \item{critical_value}{a threshold of your own, finite and positive, in
    place of \code{ljungcv(m, alpha, method)}; \code{NULL}: LJUNGCV's.}
  \item{max_rounds}{the most locate-and-refit rounds, 1 to 100;
    \code{NULL}: 10.}
  \item{resamples}{calibrate the critical value for the series' own tails
    instead of LJUNGCV's, which assumes normal residuals: a Student t law is
    fitted to the residuals of a first pass (its outliers counted as beyond
    the largest other residual) and the critical value is the
    \eqn{1 - \alpha}{1 - alpha} quantile of the largest outlier statistic on
    \code{resamples} series drawn from it; 100 to 100000 and at least
    \eqn{10/\alpha}{10/alpha} (1000 is a good count); not with
    \code{critical_value}. \code{NULL}: LJUNGCV's value.}
  \item{seed}{the draws' seed, a whole number from 0 to \eqn{2^{53}}{2^53}:
    the same seed gives the same result; \code{NULL}: the core's.}
  \item{identify}{with \code{order = "auto"}, the search's bounds, as in
    \code{\link{ljungcv_arima}}.}
  \item{object}{the result of \code{ljungcv_outliers}.}
  \item{digits}{significant digits printed.}
  \item{main, xlab, ylab}{the plot's titles; \code{NULL} for a title that
    names the series, the outliers found, the model and the critical value,
    and the series' name on the value axis.}
  \item{\dots}{passed on to \code{print} or \code{plot}.}
}
\details{
  Each round takes the final fit's standardized residuals and pi weights,
  repeatedly takes the largest outlier statistic over every time and type
  while it exceeds the critical value (removing its effect and
  re-estimating the residual scale each time), and refits the model with
  every outlier found as a regressor on the series' scale (AO a pulse, LS
  a step, TC the decay \eqn{\delta^j}{delta^j}, IO the model's psi
  weights); while some \eqn{|t|} is below the critical value, the least
  significant outlier is dropped and the model refitted. A (time, type)
  once tried is not tried again, a time holds one outlier at most, and a
  level shift at the first tested time of a model with a mean is that
  mean. The critical value is LJUNGCV's for the \eqn{m} residuals tested:
  the series' length less the \eqn{d + Ds} values the differencing takes
  and less the missing values. At most a fifth of them become outliers.

  Defaults, rules and limits are the core's, the same in every front-end;
  its refusals are errors that name the argument and the rule, with
  positions in the series counted from 1.

  \strong{Warnings.} A warning says when the result deserves care: fewer
  than 30 residuals were tested (outliers are then reported more often
  than \code{alpha} says); the final fit's residuals, the outliers' times
  aside, have heavy tails (a kurtosis test below 0.10, with its p-value;
  the critical value assumes normal residuals, and \code{resamples}
  calibrates it for such tails); the
  search stopped at the most outliers it takes; or the last round still
  found new outliers (raise \code{max_rounds}). The result carries each as
  a flag, and \code{print} repeats them.

  \strong{Interrupting.} Ctrl-C (Esc in a GUI) stops the procedure within
  milliseconds: the core asks between the likelihood's evaluations and
  before each outlier it looks for. R then signals the interrupt as for
  any R code (\code{tryCatch(..., interrupt = )} sees it).
}
\value{
  An object of class \code{"ljungcv_outliers"}, a list with
  \item{outliers}{a data frame with a row per outlier in time order:
    \code{index} (its position in \code{x}, from 1), \code{time} (the time
    in the series' own calendar: \code{"1975 Dec"} for a monthly
    \code{ts}, \code{"1975 Q4"} quarterly, \code{"1975"} yearly,
    \code{"1975 (3)"} for the third cycle of another frequency, the
    position when \code{x} is not a \code{ts}), \code{type}, \code{effect}
    (its size on the series' scale) and \code{tstat}, both from the final
    fit.}
  \item{critical_value}{the threshold every outlier passed.}
  \item{tested}{\eqn{m}, the residuals tested.}
  \item{rounds}{the rounds taken.}
  \item{arma}{the final model as \code{stats::arima}'s \code{arma}:
    \eqn{p, q, P, Q, s, d, D}.}
  \item{identification}{\code{NULL} for a model given; with
    \code{order = "auto"}, \code{list(series, adjusted)}: the
    identification on the series and on the series adjusted for the first
    run's outliers, each a data frame of candidates as
    \code{\link{ljungcv_arima}}'s \code{identification}. The final model is
    the second's.}
  \item{fit}{the final fit, an \code{"ljungcv_arima"} object (see
    \code{\link{ljungcv_arima}}), its call the call of
    \code{ljungcv_outliers}; the outliers are its last coefficients, named
    by type and position (\code{"AO31"}, \code{"LS81"}).}
  \item{adjusted}{the series without the outlier effects, with the
    attributes of \code{x} (a \code{ts} stays a \code{ts}); missing values
    stay missing.}
  \item{excess_kurtosis, kurtosis_p_value}{the final fit's residuals'
    excess kurtosis, the outliers' times aside, and the one-sided p-value
    of tails that heavy.}
  \item{reached_bound, rounds_exhausted, short_series, heavy_tails}{\code{TRUE}
    or \code{FALSE}: the conditions the warnings name.}
  \item{calibrated, tail_dof}{whether the critical value was calibrated by
    resampling, and the degrees of freedom of the t law drawn (\code{Inf}:
    normal; \code{NaN} without calibration).}
  \item{x, call}{the series and the call.}
  \code{print} shows the model, the counts, the critical value, the outliers
  and the warnings' notes. The summary adds the final model and names the
  regressors added. The plot method draws the series, the adjusted series
  and the outliers marked with their types, with a legend of what is
  drawn.
}
\seealso{\code{\link{ljungcv}}, \code{\link{ljungcv_arima}},
  \code{\link{ljungcv_outlier_statistics}}.}
\examples{
found <- ljungcv_outliers(Nile, order = c(0, 1, 1), alpha = 0.1)
found

# The model identified from the series.
ljungcv_outliers(Nile, alpha = 0.1, identify = list(max_p = 2, max_q = 2))
found$outliers
plot(found)

# A monthly series with a spike in December 1975 and two missing values.
set.seed(2)
x <- ts(arima.sim(list(ar = 0.5), 120) + 10, start = c(1970, 1), frequency = 12)
x[72] <- x[72] + 8
x[c(5, 90)] <- NA
summary(ljungcv_outliers(x, order = c(1, 0, 0), types = "AO"))
}
\keyword{ts}
