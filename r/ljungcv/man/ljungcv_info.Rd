\name{ljungcv_info}
\alias{ljungcv_info}
\title{The Module that Computes the Values}
\description{
  What the stand-in host learned when it loaded the cvmodule module: its
  image information and version record, as \command{ljungcv info} shows
  them.
}
\usage{
ljungcv_info()
}
\details{
  The package loads the module installed beside \code{libcvhost}, once per
  R session, on the first call of \code{\link{ljungcv}},
  \code{\link{ljungcv_table}} or \code{ljungcv_info}.
}
\value{
  A named list of texts, one element per line \code{"name: value"} of the
  host's report, in its order.
}
\examples{
info <- ljungcv_info()
str(info)
}
