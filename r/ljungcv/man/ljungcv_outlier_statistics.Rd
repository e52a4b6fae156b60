\name{ljungcv_outlier_statistics}
\alias{ljungcv_outlier_statistics}
\title{Outlier Statistics for the Residuals of a Model}
\description{
  The effect and the test statistic of an outlier of one type at every time,
  from the residuals and pi weights of a fitted model: the statistics that
  \code{\link{ljungcv_outliers}} tests, for a model of your own.
}
\usage{
ljungcv_outlier_statistics(residuals, pi, type, delta = 0.7, sigma = NULL)
}
\arguments{
  \item{residuals}{the model's residuals \eqn{e_1, \dots, e_n}{e_1, ..., e_n}.}
  \item{pi}{its pi weights \eqn{\pi_1, \dots, \pi_k}{pi_1, ..., pi_k}
    (\eqn{e_t = y_t - \sum_j \pi_j y_{t-j}}{e_t = y_t - sum_j pi_j y_(t-j)});
    \code{numeric(0)} for none.}
  \item{type}{\code{"AO"}, \code{"LS"}, \code{"TC"} or \code{"IO"} (a
    seasonal level shift needs the model's period: \code{\link{ljungcv_outliers}}
    looks for it).}
  \item{delta}{the decay of a temporary change, between 0 and 1.}
  \item{sigma}{the residual scale, or \code{NULL} for 1.4826 times the
    median absolute deviation of the residuals from their median.}
}
\details{
  For an outlier at time \eqn{T} with regressor \eqn{x_t}{x_t}
  (\eqn{t \ge T}{t >= T}) on the residuals' scale, the effect is
  \eqn{w = \sum e_t x_t / \sum x_t^2}{w = sum e_t x_t / sum x_t^2} and the
  statistic \eqn{w \sqrt{\sum x_t^2} / \sigma}{w sqrt(sum x_t^2) / sigma}.
  A level shift at the last time is an additive outlier: its effect and
  statistic there are \code{NaN}. The module's core computes them, so the
  same input gives the same bits here and in Python. Missing or infinite
  residuals or weights, an unknown type or a \code{delta} outside (0, 1)
  are errors.
}
\value{
  A list of two numeric vectors as long as \code{residuals}:
  \code{effects} and \code{tstats}.
}
\seealso{\code{\link{ljungcv_outliers}}.}
\examples{
set.seed(1)
e <- rnorm(50)
e[20] <- e[20] + 6
s <- ljungcv_outlier_statistics(e, 0.5, "AO")
which.max(abs(s$tstats))
}
\keyword{ts}
