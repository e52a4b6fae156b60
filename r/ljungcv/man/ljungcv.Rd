\name{ljungcv}
\alias{ljungcv}
\title{Critical Value for Outlier Tests in a Time Series}
\description{
  The critical value that an outlier test in time-series analysis uses for a
  series of \code{n} observations at significance level \code{alpha}: a
  standardised residual larger in absolute value is flagged as an outlier.
  Values come from the cvmodule function module (its function
  \code{LJUNGCV}), evaluated through the stand-in host's C interface; they
  are, bit for bit, the values the \command{ljungcv} command prints.
}
\usage{
ljungcv(n, alpha, method = "C", check = TRUE)
}
\arguments{
  \item{n}{numeric vector: numbers of observations. Each is truncated toward
    zero to a whole count, as the module does: \code{25.9} counts as 25,
    \code{0.9} as 0.}
  \item{alpha}{numeric vector: significance levels, each between 0 and 0.1
    inclusive.}
  \item{method}{character vector naming the methods: \code{"C"} (or
    \code{"CORR"}, \code{"CORRECT"}, \code{"CORRECTED"}), the small-sample
    corrected curve, the default; \code{"L"} (or \code{"LJUNG"}), Ljung's
    asymptotic approximation. Case and surrounding blanks do not matter.
    Recycled with \code{n} and \code{alpha}.}
  \item{check}{\code{TRUE} or \code{FALSE} (anything else is an error):
    whether to assess each value against its curve's sensible range and
    warn when some lie outside it; \code{FALSE} skips the assessment (and
    its cost).}
}
\details{
  \code{n}, \code{alpha} and \code{method} are recycled to the length of
  the longest, as in R's arithmetic; if any has length zero the result has
  length zero. The values of each method are computed in one call into the
  module.

  \strong{Sensible range.} A critical value must grow with \code{n} and
  fall as \code{alpha} grows. Each curve keeps to that only over a stretch
  of counts that depends on the level (\code{\link{ljungcv_limits}} lists
  them): a value below the one at \code{n - 1}, or below the one at a 1\%
  larger level, is out of range, and a test with it does not hold its level.
  With \code{check = TRUE} one warning per call counts such values; the
  values themselves are returned unchanged. \code{\link{ljungcv_table}}
  marks each one (\code{turned_down}).

  \strong{The two methods.} Ljung's method (\code{"L"}) is the extreme-value
  (Gumbel) approximation to the largest of \code{n} standard normal
  variables; its Gumbel quantile is taken at the probability
  \eqn{2 - \sqrt{1 + \alpha}}{2 - sqrt(1 + alpha)}.
  It needs at least two observations, and for small \code{n} it is not
  monotone: it falls before it rises (at \code{alpha = 0.05} its minimum is
  at \code{n = 7}; at 0.01 at \code{n = 14}; at 0.1 at \code{n = 5}), and from
  there it rises with \code{n}. The corrected method (\code{"C"}) follows
  a three-term curve through the exact values for one and two observations
  (the two-sided normal quantiles) and Ljung's values at 100 and 200
  observations; it lies below Ljung's value for small series. At small
  levels the corrected curve stops growing: at \code{alpha = 0.001} it peaks
  at \code{n = 461} (5.180240818) and then falls; at 0.01 its maximum lies at
  \code{n = 75599} (4.752030299); at 0.05 and 0.1 it still rises at five
  million observations.

  \strong{Missing and rejected values.}
  \itemize{
    \item \code{NA_real_} where no value exists: a count below 1 (after
      truncation), \code{n = 1} with Ljung's method, \code{alpha = 0} and
      levels so small (below about 4e-16, depending on the method and
      \code{n}) that the method's probabilities round to 1, an infinite
      count or one that does not fit a 32-bit integer (from \eqn{2^{31}}{2^31}).
    \item \code{NaN}, with one warning naming the argument, where the module
      rejects an argument: a level below 0 or above 0.1.
    \item \code{NA} where \code{n} or \code{alpha} is \code{NA} or
      \code{NaN}, without a warning.
    \item An unknown \code{method} is an error.
  }
}
\value{
  A double vector with the recycled length of the arguments, carrying the
  attributes (names, \code{dim}, \code{ts} and \code{tsp}, ...) of the first
  of \code{n}, \code{alpha}, \code{method} that has that length, as
  \code{\link{qnorm}} does.
}
\references{
  Ljung, G. M. (1993). On outlier detection in time series.
  \emph{Journal of the Royal Statistical Society, Series B}.

  Beasley, J. D. and Springer, S. G. (1977). Algorithm AS 111: The
  percentage points of the normal distribution. \emph{Applied Statistics}.
}
\seealso{
  \code{\link{ljungcv_table}} for the host status beside each value,
  \code{\link{ljungcv_limits}} for the stretches where each curve holds,
  \code{\link{ljungcv_info}} for the module that computes them.
}
\examples{
print(ljungcv(10, 0.05), digits = 17)    # corrected method
print(ljungcv(100, 0.05, method = "L"), digits = 17)
ljungcv(1:10, 0.01)                      # recycling
ljungcv(c(1, 2, 100), 0.05, "ljung")     # no value for one observation
ljungcv(c(10, NA), c(0.05, 0.2))         # NA in, NA out
ljungcv(10, 0.05, c("C", "L"))           # both methods
ljungcv(1e6, 0.001)                      # warns: outside the sensible range
ljungcv(1e6, 0.001, check = FALSE)       # no assessment
ljungcv(matrix(c(10, 20, 50, 100), 2), 0.05)  # keeps dim
suppressWarnings(ljungcv(10, 0.2))       # NaN: alpha above 0.1

## An outlier test: residuals of an AR(1) fit, standardised, against the
## critical value for the series' length.
set.seed(1)
y <- arima.sim(list(ar = 0.6), n = 120)
y[60] <- y[60] + 6
fit <- arima(y, order = c(1, 0, 0))
z <- residuals(fit) / sqrt(fit$sigma2)
which(abs(z) > ljungcv(length(y), 0.05))
}
\keyword{ts}
\keyword{distribution}
