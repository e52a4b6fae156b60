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
}
\usage{
ljungcv_arima(x, order = c(0L, 0L, 0L),
              seasonal = list(order = c(0L, 0L, 0L), period = frequency(x)),
              xreg = NULL, include.mean = TRUE, include.drift = FALSE, ...,
              maxit = 100L)
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
  \item{order}{\eqn{(p, d, q)}: \eqn{p, q} from 0 to 5, \eqn{d} from 0 to 2.}
  \item{seasonal}{\code{list(order = c(P, D, Q), period = s)}, or the order
    alone: \eqn{P, Q} from 0 to 5, \eqn{D} 0 or 1, the period from 2 to 366.
    The period \code{NA} is \code{frequency(x)}; it matters only with a
    seasonal order.}
  \item{xreg}{regressors: a vector, matrix or data frame of numbers with one
    row per value of \code{x}, none missing; differenced with the series.}
  \item{include.mean}{a mean, as in \code{stats::arima}: by default (or
    \code{NA}) one exactly when \eqn{d + D = 0}; given as \code{TRUE} with
    differencing, an error.}
  \item{include.drift}{a drift (a time trend \eqn{1, \dots, n}{1..n}),
    which needs \eqn{d + D = 1}.}
  \item{...}{for \code{ljungcv_arima}, nothing: any other argument is an
    error. Unused by the methods.}
  \item{maxit}{the quasi-Newton search's iterations, 1 to 10000.}
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
  \code{series} and \code{call}. Bad input is an error naming the argument
  and the rule.
}
\seealso{\code{\link{ljungcv_outliers}}}
\examples{
fit <- ljungcv_arima(log(AirPassengers), order = c(0, 1, 1),
                     seasonal = list(order = c(0, 1, 1)))
fit
coef(fit)
}
