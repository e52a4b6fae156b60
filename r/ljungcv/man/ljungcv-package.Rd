\name{ljungcv-package}
\alias{ljungcv-package}
\docType{package}
\title{Critical Values for Outlier Tests in Time Series}
\description{
  LJUNGCV's critical values for outlier detection in a series of \eqn{n}
  observations at level \eqn{\alpha}{alpha}: \code{\link{ljungcv}} (values,
  vectorised), \code{\link{ljungcv_table}} (values with their status codes)
  and \code{\link{ljungcv_info}} (the module that computes them).
}
\details{
  Outlier detection in a time series flags a residual whose standardised
  size exceeds a critical value that grows with the length of the series.
  Tools that take that value as an argument can be given LJUNGCV's, at any
  level and with the small-sample correction, for example
  \preformatted{tso(y, cval = ljungcv(length(y), 0.05))}
  with the \pkg{tsoutliers} package.

  The package is a thin layer over the cvmodule embedding kit: the C
  interface \file{cvhost.h} of the stand-in host and its library
  \code{libcvhost}, which loads the module as the host does. It is built
  against the kit that \samp{cmake --install} put in a prefix, found through
  pkg-config or the environment variable \env{CVHOST_PREFIX}.
}
\keyword{package}
