\name{ljungcv-package}
\alias{ljungcv-package}
\docType{package}
\title{Critical Values for Outlier Tests in Time Series}
\description{
  LJUNGCV's critical values for outlier detection in a series of \eqn{n}
  observations at level \eqn{\alpha}{alpha}: \code{\link{ljungcv}} (values,
  vectorised), \code{\link{ljungcv_table}} (values with their status codes)
  \code{\link{ljungcv_limits}} (where each curve holds) and
  \code{\link{ljungcv_info}} (the module that computes them).
}
\details{
  Outlier detection in a time series flags a residual whose standardised
  size exceeds a critical value that grows with the length of the series.
  \code{\link{ljungcv_outliers}} runs the whole procedure on a regression
  with (seasonal) ARIMA errors (\code{\link{ljungcv_arima}}), and
  \code{\link{ljungcv_screen}} on many series at once; any tool that
  takes the critical value as an argument can be given LJUNGCV's too, at
  any level and with the small-sample correction.

  The package carries the sources of the module, of the stand-in host that
  loads it as the host does, and of its C interface (\file{cvhost.h}), and
  builds them with R's toolchain: the module as a library of its own,
  with its floating-point flags (one rounding per operation, no fast math),
  so values are bit for bit those of the \command{ljungcv} command. No
  other software is needed. \code{\link{ljungcv_limits}} tells where each
  curve gives a sensible value; \code{vignette("ljungcv")} screens a series
  for outliers.
}
\references{
  Ljung, G. M. (1993). On outlier detection in time series.
  \emph{Journal of the Royal Statistical Society, Series B}.
}
\keyword{package}
