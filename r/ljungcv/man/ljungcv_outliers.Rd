\name{ljungcv_outliers}
\alias{ljungcv_outliers}
\alias{print.ljungcv_outliers}
\alias{summary.ljungcv_outliers}
\alias{print.summary.ljungcv_outliers}
\alias{plot.ljungcv_outliers}
\title{Find the Outliers of a Time Series under an ARIMA Model}
\description{
  Fits an ARIMA model with \code{\link[stats]{arima}}, locates additive,
  level-shift, temporary-change or innovational outliers whose statistic
  exceeds the critical value \code{\link{ljungcv}(n - d, alpha, method)},
  and refits the model with them as regressors, keeping those that stay
  significant.
}
\usage{
ljungcv_outliers(x, order = c(0, 0, 0), alpha = 0.05, method = "C",
                 types = c("AO", "LS", "TC"), delta = 0.7, cval = NULL)

\method{print}{ljungcv_outliers}(x, digits = max(3L, getOption("digits") - 3L), \dots)
\method{summary}{ljungcv_outliers}(object, \dots)
\method{plot}{ljungcv_outliers}(x, main = NULL, xlab = "Time", ylab = NULL, \dots)
}
\arguments{
  \item{x}{a numeric vector or \code{ts}: the series, at least
    \eqn{5 + d} observations, none missing or infinite. For the methods,
    the result of \code{ljungcv_outliers}.}
  \item{order}{\code{c(p, d, q)}, the ARIMA order.}
  \item{alpha}{the level of the critical value, between 0 and 0.1.}
  \item{method}{the method of the critical value, as in
    \code{\link{ljungcv}}; \code{NULL} for the function's default.}
  \item{types}{the outlier types looked for: any of \code{"AO"}
    (additive), \code{"LS"} (level shift), \code{"TC"} (temporary change)
    and \code{"IO"} (innovational).}
  \item{delta}{the decay of a temporary change, between 0 and 1.}
  \item{cval}{a critical value of your own, or \code{NULL} for
    \code{ljungcv(n - d, alpha, method)}.}
  \item{object}{the result of \code{ljungcv_outliers}.}
  \item{digits}{significant digits printed.}
  \item{main, xlab, ylab}{the plot's titles; \code{NULL} for a title that
    names the series, the outliers found, the model and the critical value,
    and the series' name on the value axis.}
  \item{\dots}{passed on to \code{print} or \code{plot}.}
}
\details{
  The procedure, in rounds: the model's residuals (from time \eqn{d + 1} on;
  the first \eqn{d} belong to no innovation) and its pi weights,
  \eqn{\pi(B) = \phi(B)(1 - B)^d / \theta(B)}{pi(B) = phi(B)(1 - B)^d / theta(B)},
  go to the module's core, which repeatedly takes the largest outlier
  statistic over every time and type while it exceeds the critical value,
  removes its effect and re-estimates the residual scale (1.4826 times the
  median absolute deviation, over the times not taken). The model is refitted with every outlier
  found as a regressor on the series' scale (AO a pulse, LS a step, TC the
  decay \eqn{\delta^j}{delta^j}, IO the model's psi weights); while some
  \eqn{|t|} is below the critical value, the least significant outlier is
  dropped and the model refitted. Rounds repeat on the new residuals until
  no new outlier appears, at most ten; an outlier once dropped is not taken
  again, and a time holds one outlier at most.

  The statistics and the locate stage are computed by the module's core,
  the same code Python's \code{ljungcv.outliers} calls; see
  \code{\link{ljungcv_outlier_statistics}}.
}
\value{
  An object of class \code{"ljungcv_outliers"}, a list with
  \item{outliers}{a data frame with a row per outlier in time order:
    \code{index} (1-based position), \code{time} (from \code{time(x)}),
    \code{type}, \code{effect} (its size on the series' scale) and
    \code{tstat}, both from the final fit.}
  \item{critical_value}{the threshold used.}
  \item{fit}{the final \code{arima} fit, its call the call of
    \code{ljungcv_outliers}; the outliers are its regressors
    \code{outlier1}, \code{outlier2}, \dots in the order of \code{outliers}.}
  \item{adjusted}{the series without the outlier effects, with the
    attributes of \code{x} (a \code{ts} stays a \code{ts}).}
  \item{x, order, alpha, method, rounds}{the series and the arguments, and
    the number of rounds taken.}
  \item{call}{the call.}
  The summary prints the outliers and the final model, with the call. The plot
  method draws the series, the adjusted series and the outliers marked
  with their types, with a legend of what is drawn.
}
\seealso{\code{\link{ljungcv}}, \code{\link{ljungcv_outlier_statistics}}.}
\examples{
found <- ljungcv_outliers(Nile, order = c(0, 1, 1))
found
found$outliers
plot(found)
}
\keyword{ts}
