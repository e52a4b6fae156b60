\name{ljungcv_info}
\alias{ljungcv_info}
\alias{print.ljungcv_info}
\title{The Module that Computes the Values}
\description{
  What the stand-in host learned when it loaded the cvmodule module: the
  module file, its image information and version record, as
  \command{ljungcv info} shows them.
}
\usage{
ljungcv_info()
\method{print}{ljungcv_info}(x, ...)
}
\arguments{
  \item{x}{a value of \code{ljungcv_info()}.}
  \item{...}{ignored.}
}
\details{
  The package builds the module as a library of its own,
  \file{libs/libcvmodule.so} in its installation directory, and loads it
  through the stand-in host's path, as the host does, once per R session on
  first use. The field \code{module} names that file.
}
\value{
  A list of class \code{"ljungcv_info"}: one element per field the host
  reports, in its order, named by the field; fields that repeat
  (\code{descriptor}, \code{function}) are one character vector. Printed as
  \code{"name: value"} lines.
}
\examples{
info <- ljungcv_info()
info
basename(info$module)
}
