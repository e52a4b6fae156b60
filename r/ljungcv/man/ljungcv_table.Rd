\name{ljungcv_table}
\alias{ljungcv_table}
\title{A Table of Critical Values with the Host's Status and Verdict}
\description{
  Every combination of counts, levels and methods in one data frame, with
  the status code the host received for each value and whether the value
  lies outside its curve's sensible range.
}
\usage{
ljungcv_table(n = c(1, 2, 3, 5, 10, 20, 50, 100, 150, 200, 500, 1000, 10000),
              alpha = c(0.05, 0.01, 0.1), method = "C")
}
\arguments{
  \item{n}{numeric vector of counts (truncated toward zero, as in \code{\link{ljungcv}}).}
  \item{alpha}{numeric vector of levels.}
  \item{method}{character vector of methods, each as in \code{\link{ljungcv}}.}
}
\details{
  The defaults are those of \command{ljungcv table}. Rows run through the
  methods, within a method through \code{n}, and within a count through
  \code{alpha}. A rejected level gives \code{NaN} with status 120836 and no
  warning: the status says it. Zero methods give a table of zero rows.
}
\value{
  A data frame with columns \code{n}, \code{alpha}, \code{method} (as
  given), \code{value} (as \code{\link{ljungcv}} gives it) and
  \code{status}: 0 for a value, 120833 where no value exists, 120836 where
  the module rejected an argument, \code{NA} where \code{n} or \code{alpha}
  is \code{NA} or \code{NaN}; and \code{turned_down}, \code{TRUE} where
  the value is below the one at \code{n - 1} or below the one at a 1\%
  larger level (see \code{\link{ljungcv_limits}}), \code{NA} where there is
  no value.
}
\references{
  Ljung, G. M. (1993). On outlier detection in time series.
  \emph{Journal of the Royal Statistical Society, Series B}.
}
\examples{
ljungcv_table(n = c(10, 100, 1000), alpha = c(0.01, 0.05))
ljungcv_table(n = 1:3, alpha = 0.05, method = c("C", "L"))
ljungcv_table(n = 50, alpha = c(0, 0.1, 0.2))
ljungcv_table(n = c(461, 462), alpha = 0.001)  # the corrected curve turns down
}
\keyword{ts}
