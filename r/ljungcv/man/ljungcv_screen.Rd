\name{ljungcv_screen}
\alias{ljungcv_screen}
\alias{print.ljungcv_screen}
\title{Find the Outliers of Many Time Series under One Model}
\description{
  Runs the outlier procedure of \code{\link{ljungcv_outliers}} on every
  series of a matrix, a list or a long data frame, under one model, on a
  pool of threads: one call of the C interface
  (\code{cvhost_find_outliers_batch}). Each series' rows are, bit for bit,
  what \code{ljungcv_outliers} gives for that series alone, whatever the
  number of threads; a series that fails fails alone.
}
\usage{
ljungcv_screen(x, order = "auto", seasonal = list(period = NA),
               include.mean = NA, alpha = NULL, method = NULL, types = NULL,
               delta = NULL, critical_value = NULL, max_rounds = NULL,
               resamples = NULL, seed = NULL, workers = NULL,
               id = "id", time = "time", value = "value", identify = NULL)

\method{print}{ljungcv_screen}(x, digits = max(3L, getOption("digits") - 3L), \dots)
}
\arguments{
  \item{x}{the series, in one of three forms:
    \itemize{
      \item a numeric matrix or \code{mts}, a series per column, its column
        names the ids (else the column numbers);
      \item a list of numeric vectors or \code{ts}, its names the ids (all
        named, or none: then the positions), each of its own length, start
        and frequency;
      \item a data frame with a row per value: the columns named by
        \code{id}, \code{time} and \code{value}. A series is the rows of
        one id, in the order given, the series in the order of their first
        rows; times that are numbers or dates must rise within a series,
        times that are texts are labels taken as they come.
    }
    \code{NA} (or \code{NaN}) is a missing value. For \code{print}, the
    result of \code{ljungcv_screen}.}
  \item{order, seasonal, include.mean}{the model of every series, as in
    \code{\link{ljungcv_outliers}}; with \code{order = "auto"} (the
    default) each series' own model is identified from it alone, with one
    period. The period \code{NA} (or left out) is
    the series' frequency, which must then give every series one period; a
    data frame's series have frequency 1, so a seasonal model of one needs
    \code{seasonal$period}.}
  \item{identify}{with \code{order = "auto"}, the search's bounds, as in
    \code{\link{ljungcv_arima}}.}
  \item{alpha, method, types, delta, critical_value, max_rounds, resamples, seed}{the
    procedure's options, as in \code{\link{ljungcv_outliers}}, the same for
    every series; \code{NULL} takes the core's default.}
  \item{workers}{the threads to run on; \code{NULL} or 0: one per core the
    machine has. Every count gives the same result.}
  \item{id, time, value}{the columns of a data frame \code{x}; an error
    with another \code{x}.}
  \item{digits}{significant digits printed.}
  \item{\dots}{not used.}
}
\details{
  The series have no regressors of their own (\code{xreg}); for those, call
  \code{\link{ljungcv_outliers}} series by series.

  Refusals that every series would share (a model or an option the core
  refuses, a level or method the function rejects) are errors, as in
  \code{ljungcv_outliers}. What concerns one series (too few values for
  the model, every value missing, an infinite value, no critical value for
  its length) is its status, with the message \code{ljungcv_outliers}
  would give as an error; the other series run. No warnings are given:
  each series' cautions are its flags.

  Ctrl-C (Esc in a GUI) stops the batch within milliseconds, on every
  thread, and R then signals the interrupt as for any R code.
}
\value{
  An object of class \code{"ljungcv_screen"}, a list of two data frames:
  \item{outliers}{a row per outlier, series after series in the order of
    \code{x}, each's in time order: \code{series} (its id),
    \code{time} (for a \code{ts}, its calendar as
    \code{ljungcv_outliers} gives it, \code{"1975 Dec"}; for a data frame,
    the value of its time column; else the position from 1),
    \code{type}, \code{effect} and \code{t}, its t statistic.}
  \item{status}{a row per series, in the order of \code{x}: \code{series};
    \code{status}, \code{"ok"} or why the series has no result
    (\code{"invalid argument"}, \code{"no result"}); \code{message} (\code{""}
    when \code{"ok"}); \code{n}, its values, missing ones included;
    \code{tested}, the residuals tested; \code{count}, the outliers found;
    \code{critical_value}; and the flags \code{short_series},
    \code{heavy_tails}, \code{reached_bound} and \code{rounds_exhausted}
    (see \code{\link{ljungcv_outliers}}); with \code{order = "auto"},
    \code{model}, the series' final model (\code{"ARIMA(1,0,0)"}).
    \code{NA} where the series has no result.}
  \code{print} shows the counts, the first outliers, the series without a
  result and why, and how many series carry each flag.
}
\seealso{\code{\link{ljungcv_outliers}}.}
\examples{
set.seed(1)
x <- ts(matrix(rnorm(360), 120, 3, dimnames = list(NULL, c("north", "south", "east"))),
        start = c(2000, 1), frequency = 12)
x[30, "south"] <- 8
x[1:117, "east"] <- NA   # three values: too few to test
ljungcv_screen(x, order = c(1, 0, 0), workers = 2)

long <- data.frame(id = rep(c("a", "b"), each = 60), time = rep(1:60, 2),
                   value = c(rnorm(60), rnorm(60) + (1:60 > 40) * 6))
ljungcv_screen(long, order = c(0, 0, 1))$outliers
# Each series' model identified from it alone.
ljungcv_screen(long, identify = list(max_p = 1, max_q = 1))$status
}
\keyword{ts}
