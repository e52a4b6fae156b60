\name{ljungcv_limits}
\alias{ljungcv_limits}
\title{Where Each Curve Gives a Sensible Critical Value}
\description{
  The stretches of counts \eqn{n} from 1 to \eqn{2^{31} - 1}{2^31 - 1} over
  which a method's value at a level holds, lies outside its curve's
  sensible range, or does not exist, as \command{ljungcv limits} lists them.
}
\usage{
ljungcv_limits(method = "C", alpha = 0.05)
}
\arguments{
  \item{method}{character vector of methods, each as in \code{\link{ljungcv}}.}
  \item{alpha}{numeric vector of levels between 0 and 0.1; every
    combination with \code{method} is listed.}
}
\details{
  A critical value must grow with \eqn{n} and fall as \eqn{\alpha}{alpha}
  grows. The corrected curve turns down at large \eqn{n} for small levels;
  Ljung's curve falls for small \eqn{n}. A value below the one at
  \eqn{n - 1}, or below the one at a 1\% larger level, is out of range.
  A level the module rejects is an error.
}
\value{
  A data frame with one row per stretch: \code{method} and \code{alpha} as
  given, \code{from_n} and \code{to_n} (the first and last count of the
  stretch) and \code{range}, what the value does there (\code{"holds"},
  \code{"out of range: below the value at n - 1"}, ...).
}
\references{
  Ljung, G. M. (1993). On outlier detection in time series.
  \emph{Journal of the Royal Statistical Society, Series B}.
}
\seealso{\code{\link{ljungcv}}, whose \code{check} warns about such values.}
\examples{
ljungcv_limits("C", c(0.05, 0.001))
ljungcv_limits("L", 0.05)
}
\keyword{ts}
