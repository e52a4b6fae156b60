# The outlier statistics and the locate stage are the core's; these tests
# check what R adds: the same bits as Python on one fixture
# (outlier-fixture.txt, which Python's tests read too), the procedure
# around arima(), the result's form, and the refusals.

fixture <- function() {
  lines <- readLines(test_path("outlier-fixture.txt"))
  fields <- strsplit(lines[!startsWith(lines, "#")], " ", fixed = TRUE)
  fields
}

test_that("the statistics and the locate stage give the fixture's bits, as in Python", {
  fields <- fixture()
  residuals <- hex(fields[[1L]][-1L])
  pi <- hex(fields[[2L]][-1L])
  checked <- 0L
  for (f in fields[-(1:2)]) {
    if (f[1L] %in% c("effects", "tstats")) {
      sigma <- if (f[4L] == "default") NULL else hex(f[4L])
      result <- ljungcv_outlier_statistics(residuals, pi, f[2L], delta = hex(f[3L]), sigma = sigma)
      expect_same_bits(result[[f[1L]]], hex(f[-(1:4)]), paste(f[1:4], collapse = " "))
    } else {
      expect_identical(f[1L], "locate")
      found <- .Call(ljungcv:::C_locate_outliers, residuals, pi, 14L, 0.7, hex(f[3L]), f[4L], hex(f[2L]))
      expect_same_bits(found[[5L]], hex(f[5L]), "critical value")
      parts <- matrix(unlist(strsplit(f[-(1:5)], ":", fixed = TRUE)), nrow = 4L)
      expect_identical(found[[1L]], as.double(parts[1L, ]))
      expect_identical(found[[2L]], as.integer(parts[2L, ]))
      expect_same_bits(found[[3L]], hex(parts[3L, ]), "effects found")
      expect_same_bits(found[[4L]], hex(parts[4L, ]), "statistics found")
    }
    checked <- checked + 1L
  }
  expect_gte(checked, 15L)
})

ar1 <- function(n, seed, phi = 0.5) {
  set.seed(seed)
  as.double(arima.sim(list(ar = phi), n))
}

test_that("an implanted six-sigma additive outlier is found at its time, with time(x) kept", {
  hits <- 0L
  for (seed in 1:10) {
    y <- ar1(150, seed) + 10
    y[71] <- y[71] + 6
    x <- ts(y, start = c(1990, 1), frequency = 12)
    found <- suppressWarnings(ljungcv_outliers(x, order = c(1, 0, 0)))
    expect_identical(found$critical_value, ljungcv(150, 0.05))
    o <- found$outliers
    expect_true(all(abs(o$tstat) >= found$critical_value))
    expect_identical(o$time, as.double(time(x))[o$index])
    expect_true(is.ts(found$adjusted))
    expect_identical(tsp(found$adjusted), tsp(x))
    at <- which(o$index == 71L & o$type == "AO")
    if (length(at) == 1L) {
      hits <- hits + 1L
      expect_lt(abs(o$effect[at] - 6), 3)
      expect_equal(as.double(found$adjusted)[71], y[71] - o$effect[at], tolerance = 1e-12)
    }
  }
  expect_gte(hits, 9L)
})

test_that("a level shift under ARIMA(0, 1, 1), a threshold of one's own, and the methods", {
  set.seed(3)
  y <- cumsum(rnorm(120) - 0.5 * c(0, rnorm(119)))
  y[61:120] <- y[61:120] + 8
  found <- suppressWarnings(ljungcv_outliers(y, order = c(0, 1, 1), types = "LS"))
  expect_identical(found$outliers$index, 61L)
  expect_identical(found$outliers$type, "LS")
  expect_identical(found$critical_value, ljungcv(119, 0.05))  # n - d residuals
  expect_identical(found$outliers$time, 61)
  none <- suppressWarnings(ljungcv_outliers(y, order = c(0, 1, 1), cval = 1e6))
  expect_identical(nrow(none$outliers), 0L)
  expect_identical(none$adjusted, y)
  expect_output(print(found), "1 outlier at critical value")
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  expect_identical(plot(found), found)
})

# Every text a plot draws, from the device's display list.
plot_texts <- function(x) {
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  grDevices::dev.control("enable")
  stopifnot(identical(plot(x), x))
  calls <- grDevices::recordPlot()[[1L]]
  unname(unlist(lapply(calls, function(call) Filter(is.character, call[[2L]]))))
}

test_that("the summary and the plot say what was found, under the user's call, and nothing more", {
  set.seed(3)
  y <- cumsum(rnorm(120) - 0.5 * c(0, rnorm(119)))
  y[61:120] <- y[61:120] + 8
  one <- suppressWarnings(ljungcv_outliers(y, order = c(0, 1, 1), types = "LS"))
  none <- suppressWarnings(ljungcv_outliers(y, order = c(0, 1, 1), cval = 1e6))
  cases <- list(list(one, "the outlier as regressor outlier1", "y: 1 outlier under ARIMA(0,1,1), critical value",
                     TRUE),
                list(none, "no outliers", "y: no outliers under ARIMA(0,1,1), critical value 1e+06", FALSE))
  for (case in cases) {
    printed <- capture.output(print(summary(case[[1L]])))
    expect_true(any(startsWith(printed, sprintf("Final model (%s):", case[[2L]]))), info = case[[2L]])
    expect_false(any(grepl("x = y, order = order|xreg = xreg", printed)))
    expect_true(any(startsWith(printed, "ljungcv_outliers(x = y, order = c(0, 1, 1)")))
    drawn <- plot_texts(case[[1L]])
    expect_true(any(startsWith(drawn, case[[3L]])), info = case[[3L]])
    expect_true(all(c("y", "series", "adjusted (outlier effects removed)") %in% drawn))
    expect_identical("outlier, with its type" %in% drawn, case[[4L]])
    expect_identical("LS" %in% drawn, case[[4L]])
  }
  expect_false(any(grepl("outlier2", capture.output(print(summary(one))))))
})

test_that("bad input is an error that says why", {
  e <- c(0.5, -1, 2, 0.1, -0.3, 1.2)
  expect_error(ljungcv_outlier_statistics(e, 0.5, "XO"), "unknown outlier type \"XO\"")
  expect_error(ljungcv_outliers(1:10, types = c("AO", "\033")), "unknown outlier type \"\\\\033\"")
  expect_error(ljungcv_outlier_statistics(c(e, NA), 0.5, "AO"))
  expect_error(ljungcv_outlier_statistics(e, c(0.5, Inf), "AO"))
  expect_error(ljungcv_outlier_statistics(e, 0.5, "TC", delta = 1))
  expect_error(ljungcv_outlier_statistics(e, 0.5, "AO", sigma = -1))
  expect_error(ljungcv_outlier_statistics(numeric(0), 0.5, "AO"))
  expect_error(ljungcv_outlier_statistics(e, 0.5, c("AO", "LS")), "'type' must be one of")
  expect_error(ljungcv_outliers(c(1, 2, 3, 4)), "needs at least 5")
  expect_error(ljungcv_outliers(c(1, 2, 3, 4, 5), order = c(0, 1, 1)), "at least 6 for d = 1")
  expect_error(ljungcv_outliers(c(1, 2, 3, NA, 5, 6)), "missing or infinite values, the first at 4")
  expect_error(ljungcv_outliers(1:10, types = character(0)), "'types' must be")
  expect_error(ljungcv_outliers(1:10, order = c(1, 0)), "'order'")
  expect_error(ljungcv_outliers(1:10, cval = 0), "'cval'")
  expect_error(ljungcv_outliers(sin(1:30), method = "X"), "unknown method")
  expect_error(ljungcv_outliers(sin(1:30), alpha = 0.5))  # the module rejects the level
})
