\name{ljungcv_reach}
\alias{ljungcv_reach}
\title{Where the Critical Value Reaches a Threshold}
\description{
  The inverse of \code{\link{ljungcv_table}}: for a threshold that a test
  uses in place of the critical value (a fixed 3.5, say), the count
  \eqn{n} at which each method's curve at each level, rising where it
  holds, first reaches it, as \command{ljungcv reach} gives it.
}
\usage{
ljungcv_reach(threshold, alpha = c(0.1, 0.05, 0.01, 0.001), method = c("C", "L"))
}
\arguments{
  \item{threshold}{numeric vector of thresholds, none \code{NA}.}
  \item{alpha}{numeric vector of levels between 0 and 0.1.}
  \item{method}{character vector of methods, each as in \code{\link{ljungcv}}.
    Every combination of \code{threshold}, \code{method} and \code{alpha}
    is looked up.}
}
\details{
  For fewer observations than \eqn{n} a test with the threshold is
  stricter than one at the level; from \eqn{n} on it is laxer, and its
  false alarms grow with \eqn{n}. The look-up keeps to the stretches where
  each curve holds (\code{\link{ljungcv_limits}}), and every value comes
  from the module. A curve at or above the threshold from the start of a
  stretch where it holds has \code{reach} \code{"from_start"}; one below it
  wherever it holds \code{"never"}, with \code{n} the count of its largest
  value there. A level the module rejects is an error.
}
\value{
  A data frame with one row per look-up: \code{threshold}, \code{method}
  and \code{alpha} as given; \code{reach} (\code{"crosses"},
  \code{"from_start"} or \code{"never"}); \code{n}; \code{value}, the value
  at \code{n}; \code{value_before}, the value at \code{n - 1} for a
  crossing, else \code{NA}; \code{outside_n}, for \code{"never"} the first
  count where the value reaches the threshold although the curve is out of
  range there, else \code{NA}; and \code{note}, what was found in the
  command's words.
}
\seealso{\code{\link{ljungcv_limits}}, \code{\link{ljungcv_outliers}}, whose
  \code{cval} takes a threshold of one's own.}
\examples{
ljungcv_reach(3.5, alpha = c(0.05, 0.01), method = "C")[, c("alpha", "n", "value")]
ljungcv_reach(6, alpha = 0.001, method = "C")$note
}
\keyword{ts}
