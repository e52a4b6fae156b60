\name{ljungcv_arima}
\alias{ljungcv_arima}
\alias{print.ljungcv_arima}
\alias{coef.ljungcv_arima}
\alias{vcov.ljungcv_arima}
\alias{residuals.ljungcv_arima}
\alias{nobs.ljungcv_arima}
\alias{logLik.ljungcv_arima}
\title{Regression with Seasonal ARIMA Errors by Exact Maximum Likelihood}
\description{
  Fits \eqn{y_t = x_t'\beta + u_t}{y_t = x_t' beta + u_t} with
  \eqn{\phi(B)\Phi(B^s)(1-B)^d(1-B^s)^D u_t = \theta(B)\Theta(B^s)a_t}{phi(B) Phi(B^s) (1 - B)^d (1 - B^s)^D u_t = theta(B) Theta(B^s) a_t},
  \eqn{a_t \sim N(0, \sigma^2)}{a_t ~ N(0, sigma^2)}, by the exact Gaussian
  likelihood of a Kalman filter: the estimator of the module's core, the
  same bits as in Python and C. The result reads like \code{stats::arima}'s.
  By default (\code{order = "auto"}) the model is identified from the
  series: the differencing from a KPSS test and the seasonal strength, then
  the orders and the constant by least AICc among the candidates fitted.
}
\usage{
ljungcv_arima(x, order = "auto", seasonal = list(period = NA), xreg = NULL,
              include.mean = TRUE, include.drift = FALSE, ..., maxit = 100L,
              identify = NULL)
\method{print}{ljungcv_arima}(x, digits = max(3L, getOption("digits") - 3L), ...)
\method{coef}{ljungcv_arima}(object, ...)
\method{vcov}{ljungcv_arima}(object, ...)
\method{residuals}{ljungcv_arima}(object, ...)
\method{nobs}{ljungcv_arima}(object, ...)
\method{logLik}{ljungcv_arima}(object, ...)
}
\arguments{
  \item{x}{a numeric vector or \code{ts}; \code{NA} is a missing value,
    skipped by the filter. For \code{print}, a fit.}
  \item{order}{\code{"auto"}, the model identified from the series (the
    default, unless a seasonal order, \code{include.mean} or
    \code{include.drift} is given: then \eqn{(0, 0, 0)}, as before); or
    \eqn{(p, d, q)}: \eqn{p, q} from 0 to 5, \eqn{d} from 0 to 2.}
  \item{seasonal}{\code{list(order = c(P, D, Q), period = s)}, or the order
    alone: \eqn{P, Q} from 0 to 5, \eqn{D} 0 or 1, the period from 2 to 366.
    The period \code{NA} (or left out) is \code{frequency(x)}; it matters
    only with a seasonal order, or with \code{order = "auto"}, which takes
    \code{list(period = s)} alone (a seasonal order with it is an error) and
    a frequency that is not a whole number as no season.}
  \item{xreg}{regressors: a vector, matrix or data frame of numbers with one
    row per value of \code{x}, none missing; differenced with the series.}
  \item{include.mean}{a mean, as in \code{stats::arima}: by default (or
    \code{NA}) one exactly when \eqn{d + D = 0}; given as \code{TRUE} with
    differencing, an error. Not with \code{order = "auto"}, which tries each
    model with and without a mean (or, with \eqn{d + D = 1}, a drift).}
  \item{include.drift}{a drift (a time trend \eqn{1, \dots, n}{1..n}),
    which needs \eqn{d + D = 1}. Not with \code{order = "auto"}.}
  \item{...}{for \code{ljungcv_arima}, nothing: any other argument is an
    error. Unused by the methods.}
  \item{maxit}{the quasi-Newton search's iterations, 1 to 10000 (for each
    candidate with \code{order = "auto"}).}
  \item{identify}{with \code{order = "auto"}, bounds of the search of your
    own, a list with any of \code{max_p}, \code{max_q} (0 to 5; 5 by
    default), \code{max_P}, \code{max_Q} (0 to 5; 2), \code{max_order}
    (0 to 20; 5, the largest \eqn{p + q + P + Q} without the stepwise
    search), \code{stepwise} (\code{TRUE}, the default: a stepwise search
    from a few starting models; \code{FALSE}: every model within the
    bounds), \code{allow_constant} (\code{TRUE}), \code{max_models} (1 to
    1000; 100, the fits the search may run), \code{d} (0 to 2) and \code{D}
    (0 or 1), differencing held rather than tested. \code{NULL}: the core's
    defaults.}
  \item{digits}{significant digits to print.}
  \item{object}{a fit.}
}
\value{
  An object of class \code{"ljungcv_arima"}: \code{coef}, \code{var.coef}
  (from the Hessian of the log-likelihood), \code{sigma2} (the
  maximum-likelihood estimate), \code{loglik}, \code{aic}, \code{aicc},
  \code{bic}, \code{arma} (\eqn{p, q, P, Q, s, d, D}, as in
  \code{stats::arima}), \code{residuals} (the standardized one-step
  residuals, a \code{ts} with the series' calendar when \code{x} is one;
  \code{NA} where the value is missing and for the first \eqn{d + Ds}),
  \code{nobs}, \code{converged}, \code{message} (why not),
  \code{iterations}, \code{pi} and \code{psi} (the whole model's weights),
  \code{identification}, \code{series} and \code{call}. Bad input is an
  error naming the argument and the rule.

  \code{identification} is \code{NULL} for a model given, and for one
  identified a data frame of the candidates in the order tried: \code{p},
  \code{d}, \code{q}, \code{P}, \code{D}, \code{Q}, \code{constant} (a
  mean or a drift), \code{aicc} (\code{NaN} unless kept), \code{outcome}
  (\code{"kept"}, \code{"refused"}, \code{"not converged"} or \code{"near
  unit root"}) and \code{reason}. Its attributes: \code{arma}, the model
  chosen (the kept candidate of least AICc); \code{seasonal_strength} and
  \code{kpss} (a data frame of each KPSS test's \code{statistic} and
  \code{p_value}), the evidence for \eqn{D} and \eqn{d}; and
  \code{bound_reached}, \code{TRUE} when the search stopped at
  \code{max_models}. \code{print} names the model and the candidates it was
  chosen among.
}
\seealso{\code{\link{ljungcv_outliers}}}
\examples{
fit <- ljungcv_arima(log(AirPassengers), order = c(0, 1, 1),
                     seasonal = list(order = c(0, 1, 1)))
fit
coef(fit)

# The model identified from the series, in a small search.
chosen <- ljungcv_arima(Nile, identify = list(max_p = 2, max_q = 2))
chosen
chosen$identification
}
