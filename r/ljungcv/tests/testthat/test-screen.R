# ljungcv_screen() against ljungcv_outliers() series by series: the same
# rows, bit for bit, from an mts, a list of series and a long data frame,
# with 1 and 2 workers, bad series among good ones; what R adds (reading the
# three forms, ids and times, the status rows); the refusals; Ctrl-C.

# A seeded series of the airline model, (1 - B)(1 - B^12) y = (1 - 0.4B)(1 - 0.6B^12) a,
# n monthly values around 100, with a spike now and then and a missing value or two.
airline <- function(n, start) {
  a <- stats::arima.sim(list(ma = c(-0.4, rep(0, 10), -0.6, 0.24)), n)
  y <- 100 + stats::diffinv(stats::diffinv(as.double(a), lag = 12L), lag = 1L)[-(1:13)]
  y[sample(n, 1L)] <- y[sample(n, 1L)] + sample(c(-8, 8), 1L)
  y[sample(n, rbinom(1L, 2L, 0.3))] <- NA
  stats::ts(y, start = start, frequency = 12)
}

# 30 series of 26 to 84 values starting in different months, the first
# few short enough to be flagged; in the middle one of 4 values, too few to
# test, one with every value missing, and one with heavy tails.
screen_set <- function() {
  set.seed(20)
  series <- lapply(1:30, function(k) airline(24L + 2L * k, c(1990L + k %% 4L, 1L + k %% 12L)))
  series[[15L]] <- stats::ts(rnorm(4), start = c(1992, 3), frequency = 12)
  series[[16L]] <- stats::ts(rep(NA_real_, 60), start = c(1991, 1), frequency = 12)
  series[[20L]] <- stats::ts(100 + rt(64, df = 2), start = c(1993, 7), frequency = 12)  # heavy tails
  names(series) <- sprintf("s%02d", seq_along(series))
  series
}

# The rows ljungcv_outliers() gives series by series, in ljungcv_screen()'s
# form: times(id, index) the outliers' times (NULL: ljungcv_outliers'
# own); a failed series' status kind NA, its message the error's.
rows_one_by_one <- function(series, ids, times = NULL, ...) {
  parts <- Map(function(y, id) {
    found <- tryCatch(suppressWarnings(ljungcv_outliers(y, ...)), error = conditionMessage)
    if (is.character(found)) {
      return(list(NULL, data.frame(series = id, status = NA_character_, message = found, n = length(y),
                                   tested = NA_integer_, count = NA_integer_, critical_value = NA_real_,
                                   short_series = NA, heavy_tails = NA, reached_bound = NA, rounds_exhausted = NA)))
    }
    o <- found$outliers
    list(data.frame(series = rep(id, nrow(o)), time = if (is.null(times)) o$time else times(id, o$index),
                    type = o$type, effect = o$effect, t = o$tstat),
         data.frame(series = id, status = "ok", message = "", n = length(y), tested = found$tested,
                    count = nrow(o), critical_value = found$critical_value, short_series = found$short_series,
                    heavy_tails = found$heavy_tails, reached_bound = found$reached_bound,
                    rounds_exhausted = found$rounds_exhausted))
  }, series, ids)
  bound <- function(k) {
    frame <- do.call(rbind, lapply(parts, `[[`, k))
    rownames(frame) <- NULL
    frame
  }
  list(outliers = bound(1L), status = bound(2L))
}

expect_rows_of_single_calls <- function(screened, expected, label) {
  failed <- is.na(expected$status$status)
  expect_true(all(screened$status$status[failed] %in% c("invalid argument", "no result")), label = label)
  expected$status$status[failed] <- screened$status$status[failed]
  expect_identical(screened$status, expected$status, label = label)
  expect_same_bits(screened$outliers$effect, expected$outliers$effect, paste(label, "effects"))
  expect_same_bits(screened$outliers$t, expected$outliers$t, paste(label, "t"))
  expect_identical(screened$outliers, expected$outliers, label = label)
}

test_that("every form gives, with 1 and 2 workers, the rows ljungcv_outliers gives series by series", {
  series <- screen_set()
  ids <- names(series)
  matrix_form <- do.call(cbind, series)  # an mts over the union of their times, NA where a series has none
  dates <- lapply(series, function(s) {
    seq(as.Date(sprintf("%d-%02d-01", start(s)[1L], start(s)[2L])), by = "month", length.out = length(s))
  })
  long <- data.frame(id = rep(ids, lengths(series)), time = do.call(c, unname(dates)),
                     value = unlist(lapply(series, as.double), use.names = FALSE))
  # The series' rows interleaved, each's in time order: the series come in the
  # order of their first rows.
  long <- long[order(long$time), ]
  names(long) <- c("store", "month", "sales")
  # Fitted with a seasonal AR (its period the frequency, 12), which is quick.
  seasonal_ar <- list(order = c(1, 0, 0), seasonal = c(1, 0, 0))
  forms <- list(
    mts = list(x = matrix_form, model = seasonal_ar,
               expected = rows_one_by_one(lapply(ids, function(j) matrix_form[, j]), ids, order = c(1, 0, 0),
                                          seasonal = c(1, 0, 0))),
    list = list(x = series, model = seasonal_ar,
                expected = rows_one_by_one(series, ids, order = c(1, 0, 0), seasonal = c(1, 0, 0))),
    long = list(x = long, model = list(order = c(1, 0, 0), seasonal = list(order = c(1, 0, 0), period = 12),
                                       id = "store", time = "month", value = "sales"),
                expected = rows_one_by_one(lapply(series[unique(long$store)], as.double), unique(long$store),
                                           times = function(id, index) dates[[id]][index],
                                           order = c(1, 0, 0), seasonal = list(order = c(1, 0, 0), period = 12))))
  for (form in names(forms)) {
    f <- forms[[form]]
    expect_gt(nrow(f$expected$outliers), 10L)
    expect_identical(sum(is.na(f$expected$status$status)), 2L)
    expect_true(any(f$expected$status$short_series %in% TRUE) && any(f$expected$status$heavy_tails %in% TRUE))
    for (workers in 1:2) {
      screened <- do.call(ljungcv_screen, c(list(f$x), f$model, workers = workers))
      expect_s3_class(screened, "ljungcv_screen")
      expect_rows_of_single_calls(screened, f$expected, sprintf("%s, %d worker(s)", form, workers))
    }
  }
})

test_that("a non-seasonal model takes series of any frequencies, each in its own calendar; ids default to positions", {
  set.seed(4)
  series <- list(ts(arima.sim(list(ar = 0.5), 48) + c(rep(0, 20), 9, rep(0, 27)), start = c(2001, 2), frequency = 4),
                 ts(arima.sim(list(ar = 0.5), 60) + c(rep(0, 33), -9, rep(0, 26)), start = c(1998, 5), frequency = 12),
                 as.double(arima.sim(list(ar = 0.5), 40)) + c(rep(0, 9), 9, rep(0, 30)))
  screened <- ljungcv_screen(series, order = c(1, 0, 0), types = "AO")
  expect_rows_of_single_calls(screened, rows_one_by_one(series, 1:3, order = c(1, 0, 0), types = "AO"), "mixed")
  expect_true(all(c("2006 Q2", "2001 Feb", "10") %in% screened$outliers$time))
})

test_that("the refusals name the argument and the rule, and leave nothing half done", {
  month <- ts(1:48 + rep(c(0, 1), 24), frequency = 12)
  long <- data.frame(id = rep(c("a", "b"), each = 30), time = rep(1:30, 2), value = rnorm(60))
  refused <- list(
    list(quote(ljungcv_screen(as.double(month))), "'x' must be a matrix or mts"),
    list(quote(ljungcv_screen(cbind(month, month), id = "store")), "name the columns of a long data frame"),
    list(quote(ljungcv_screen(list(a = month, b = letters))), "series \"b\" of 'x' is not one numeric series"),
    list(quote(ljungcv_screen(list(a = month, month))), "must all be named"),
    list(quote(ljungcv_screen(list(a = month, b = ts(1:30, frequency = 4)), seasonal = c(0, 1, 1))),
         "frequencies 12, 4, which give the seasonal model different periods"),
    list(quote(ljungcv_screen(long, id = "store")), "'x' has no column \"store\" \\(its 'id' column\\)"),
    list(quote(ljungcv_screen(long, time = c("time", "id"))), "'time' must be a single column name"),
    list(quote(ljungcv_screen(transform(long, value = as.character(value)))), "the value column \"value\" must be numeric"),
    list(quote(ljungcv_screen(transform(long, id = replace(id, 7, NA)))), "missing id, at row 7"),
    list(quote(ljungcv_screen(long[c(2, 1, 3:60), ])), "the times of series \"a\" do not rise"),
    list(quote(ljungcv_screen(rbind(long, long[45, ]))), "the times of series \"b\" do not rise"),
    list(quote(ljungcv_screen(long, workers = -1)), "'workers' must be a whole number, 0 or more"),
    list(quote(ljungcv_screen(long, workers = 1.5)), "'workers' must be 1 whole number"),
    list(quote(ljungcv_screen(long, workers = 1000)), "workers: must be from 0"),
    list(quote(ljungcv_screen(long, types = "XO")), "unknown outlier type \"XO\""),
    list(quote(ljungcv_screen(long, method = "Q")), "unknown method \"Q\""),
    list(quote(ljungcv_screen(long, alpha = 0.5)), "alpha"),
    list(quote(ljungcv_screen(long, resamples = 1000, critical_value = 3.5)), "critical_value"),
    list(quote(ljungcv_screen(long, seed = -1)), "'seed' must be a whole number"))
  for (case in refused) {
    expect_error(eval(case[[1L]]), case[[2L]], info = deparse1(case[[1L]]))
  }
  # Text times are labels, taken in the rows' order.
  labelled <- transform(long, time = sprintf("t%02d", 30:1)[time])
  expect_identical(ljungcv_screen(labelled, critical_value = 3)$status$n, c(30L, 30L))
})

test_that("resamples and seed reach each series as ljungcv_outliers takes them", {
  set.seed(8)
  series <- list(a = as.double(arima.sim(list(ar = 0.6), 80)), b = as.double(arima.sim(list(ar = 0.6), 70)))
  series$a[30] <- series$a[30] + 7
  screened <- ljungcv_screen(series, order = c(1, 0, 0), resamples = 200, seed = 5, workers = 2)
  expected <- rows_one_by_one(series, names(series), order = c(1, 0, 0), resamples = 200, seed = 5)
  expect_rows_of_single_calls(screened, expected, "calibrated")
  other_seed <- ljungcv_screen(series, order = c(1, 0, 0), resamples = 200, seed = 6)
  expect_false(identical(other_seed$status$critical_value, screened$status$critical_value))
})

test_that("print says how many series gave a result, the outliers found, and why the others gave none", {
  series <- screen_set()[14:17]
  screened <- ljungcv_screen(series, order = c(1, 0, 0), seasonal = c(1, 0, 0))
  printed <- capture.output(print(screened))
  s <- screened$status
  expect_identical(printed[1L], sprintf("4 series screened, 2 with a result, %d outlier%s found",
                                        nrow(screened$outliers), if (nrow(screened$outliers) == 1L) "" else "s"))
  expect_identical(printed[grep("^  s1[56]: ", printed)], sprintf("  %s: %s", s$series[2:3], s$message[2:3]))
  expect_identical(nrow(ljungcv_screen(list())$status), 0L)
})

test_that("Ctrl-C stops a batch on two workers, and R signals the interrupt", {
  # Two critical values calibrated from 100,000 drawn series each, one per
  # worker: seconds of draws. A child process is sent SIGINT, as a terminal
  # sends it on Ctrl-C.
  set.seed(3)
  series <- list(as.double(arima.sim(list(ar = 0.6), 300)), as.double(arima.sim(list(ar = 0.6), 300)))
  expect_ctrl_c_stops(function() ljungcv_screen(series, order = c(1, 0, 0), resamples = 100000, workers = 2),
                      function() ljungcv_screen(list(c(rep(5, 10), 100, rep(5, 9))), order = c(0, 0, 0),
                                                workers = 2)$outliers$time,
                      "11")
})
