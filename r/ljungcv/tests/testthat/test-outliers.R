# The outlier statistics and the whole procedure are the core's; these
# tests check what R adds: the same bits as Python and the command on the
# shared fixtures (outlier-fixture.txt for the 1.2 statistics,
# procedure-fixture.txt for the procedure), R's positions, missing values
# and calendar, the result's form and methods, the warnings, Ctrl-C, and the
# refusals.

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

test_that("the statistics refuse bad input, saying why", {
  e <- c(0.5, -1, 2, 0.1, -0.3, 1.2)
  expect_error(ljungcv_outlier_statistics(e, 0.5, "XO"), "unknown outlier type \"XO\"")
  expect_error(ljungcv_outlier_statistics(e, 0.5, "sls"), "needs the model's period")
  expect_error(ljungcv_outlier_statistics(c(e, NA), 0.5, "AO"))
  expect_error(ljungcv_outlier_statistics(e, c(0.5, Inf), "AO"))
  expect_error(ljungcv_outlier_statistics(e, 0.5, "TC", delta = 1))
  expect_error(ljungcv_outlier_statistics(e, 0.5, "AO", sigma = -1))
  expect_error(ljungcv_outlier_statistics(numeric(0), 0.5, "AO"))
  expect_error(ljungcv_outlier_statistics(e, 0.5, c("AO", "LS")), "'type' must be one of")
})

# The procedure fixture's cases: list(settings, y, xreg, outliers, critical_value,
# tested, adjusted), each field its words after the keyword.
procedure_fixture <- function() {
  lines <- readLines(test_path("procedure-fixture.txt"))
  cases <- list()
  for (f in strsplit(lines[!startsWith(lines, "#")], " ", fixed = TRUE)) {
    if (f[1L] == "case") {
      cases[[f[2L]]] <- list(settings = f[-(1:2)])
    } else {
      cases[[length(cases)]][[f[1L]]] <- f[-1L]
    }
  }
  cases
}

# The same doubles, NaN where the fixture has NaN (R's NA where R has one).
expect_fixture_bits <- function(actual, text, label) {
  expected <- hex(text)
  missing <- is.nan(expected)
  expect_identical(is.na(actual), missing, label = label)
  expect_same_bits(actual[!missing], expected[!missing], label)
}

test_that("the procedure gives the fixture's bits, as the command and Python do, at 1-based positions", {
  cases <- procedure_fixture()
  expect_length(cases, 7L)
  types <- ljungcv:::OUTLIER_TYPES
  for (name in names(cases)) {
    case <- cases[[name]]
    settings <- case$settings  # p d q P D Q period types delta alpha method critical_value
    orders <- as.integer(settings[1:7])
    y <- hex(case$y)
    y[is.nan(y)] <- NA  # R's missing value; the core takes either
    found <- suppressWarnings(ljungcv_outliers(
      y, order = orders[1:3], seasonal = list(order = orders[4:6], period = orders[7L]),
      xreg = if (!is.null(case$xreg)) cbind(step = hex(case$xreg)),
      types = names(types)[bitwAnd(as.integer(settings[8L]), types) != 0L], delta = hex(settings[9L]),
      alpha = hex(settings[10L]), method = if (settings[11L] != "-") settings[11L],
      critical_value = if (settings[12L] != "-") hex(settings[12L]),
      resamples = if (!is.null(case$resampling)) as.integer(case$resampling[1L]),
      seed = if (!is.null(case$resampling)) as.numeric(case$resampling[2L])))
    parts <- matrix(unlist(strsplit(case$outliers, ":", fixed = TRUE)), nrow = 4L)
    o <- found$outliers
    expect_identical(o$index, as.integer(parts[1L, ]) + 1L, label = name)
    expect_identical(o$type, names(types)[match(as.integer(parts[2L, ]), types)], label = name)
    expect_same_bits(o$effect, hex(parts[3L, ]), paste(name, "effects"))
    expect_same_bits(o$tstat, hex(parts[4L, ]), paste(name, "statistics"))
    expect_same_bits(found$critical_value, hex(case$critical_value), paste(name, "critical value"))
    expect_identical(found$tested, as.integer(case$tested), label = name)
    expect_fixture_bits(found$adjusted, case$adjusted, paste(name, "adjusted"))
    # The final fit, copied out of the same result: the outliers' regressors last.
    added <- utils::tail(coef(found$fit), nrow(o))
    expect_identical(names(added), paste0(o$type, o$index), label = name)
    expect_same_bits(unname(added), o$effect, paste(name, "the fit's effects"))
  }
})

test_that("the result keeps R's positions, missing values and calendar", {
  set.seed(2)
  x <- ts(as.double(arima.sim(list(ar = 0.5), 120)) + 10, start = c(1970, 1), frequency = 12)
  x[72] <- x[72] + 8  # December 1975
  x[c(5, 90)] <- NA
  found <- suppressWarnings(ljungcv_outliers(x, order = c(1, 0, 0)))
  o <- found$outliers
  expect_identical(o[, c("index", "time", "type")],
                   data.frame(index = 72L, time = "1975 Dec", type = "AO", stringsAsFactors = FALSE))
  expect_output(print(found), "72 1975 Dec   AO")
  expect_identical(tsp(found$adjusted), tsp(x))
  expect_identical(which(is.na(found$adjusted)), c(5L, 90L))
  expect_identical(found$adjusted[72], x[72] - o$effect)
  expect_identical(found$adjusted[-72], x[-72])
  expect_identical(found$critical_value, ljungcv(found$tested, 0.05))
  expect_identical(found$arma, c(1L, 0L, 0L, 0L, 12L, 0L, 0L))
  expect_s3_class(found$fit, "ljungcv_arima")
  expect_identical(tsp(residuals(found$fit)), tsp(x))
  expect_identical(found$fit$call, found$call)
  # A seasonal model takes the period from the ts.
  seasonal <- suppressWarnings(ljungcv_outliers(x, order = c(1, 0, 0), seasonal = c(1, 0, 0)))
  expect_identical(seasonal$arma, c(1L, 0L, 1L, 0L, 12L, 0L, 0L))
  expect_output(print(seasonal), "ARIMA\\(1,0,0\\)\\(1,0,0\\)\\[12\\]")
})

test_that("times are labelled in the series' own calendar", {
  cases <- list(
    list(ts(1:100, start = c(1970, 1), frequency = 12), 72L, "1975 Dec"),
    list(ts(1:100, start = c(1970, 1), frequency = 4), 24L, "1975 Q4"),
    list(ts(1:100, start = c(1960, 2), frequency = 4), 72L, "1978 Q1"),
    list(ts(1:200, start = 1871), 105L, "1975"),
    list(ts(1:100, start = c(3, 2), frequency = 7), 72L, "13 (3)"),
    list(1:100, 11L, "11"),
    list(ts(1:100, start = c(1970, 1), frequency = 4), integer(0), character(0)),
    list(ts(1:100, start = c(3, 2), frequency = 7), integer(0), character(0)))
  for (case in cases) {
    expect_identical(ljungcv:::calendar_times(case[[1L]], case[[2L]]), case[[3L]])
  }
})

test_that("the old faults stay fixed", {
  spike <- suppressWarnings(ljungcv_outliers(c(rep(5, 10), 100, rep(5, 9)), order = c(0, 0, 0)))
  expect_identical(spike$outliers[, c("index", "type")],
                   data.frame(index = 11L, type = "AO", stringsAsFactors = FALSE))
  short <- suppressWarnings(ljungcv_outliers(c(0.33, 0.46, 1.56, 1.33, 0.16, 0.37, -1.19, -0.4, 0.32, 0.78),
                                            order = c(0, 0, 0)))
  expect_s3_class(short, "ljungcv_outliers")
  expect_identical(short$tested, 10L)
})

# The messages of the warnings a call gives, and its result.
warned <- function(expression) {
  messages <- character(0)
  value <- withCallingHandlers(expression, warning = function(w) {
    messages <<- c(messages, conditionMessage(w))
    invokeRestart("muffleWarning")
  })
  list(value = value, messages = messages)
}

test_that("each thing the core flags is a warning, and nothing else is", {
  set.seed(7)
  noise <- rnorm(100)
  shifted <- noise + rep(c(0, 3), each = 50)
  set.seed(5)
  cases <- list(
    list(quote(ljungcv_outliers(noise, order = c(0, 0, 0))), NULL, NULL),
    list(quote(ljungcv_outliers(noise[1:20], order = c(0, 0, 0))), "short_series", "only 20 residuals were tested"),
    list(quote(ljungcv_outliers(rt(200, 2), order = c(0, 0, 0))), "heavy_tails", "the residuals have heavy tails"),
    list(quote(ljungcv_outliers(noise, order = c(0, 0, 0), critical_value = 0.5)), "reached_bound",
         "the search stopped at the most outliers"),
    list(quote(ljungcv_outliers(shifted, order = c(0, 0, 0), max_rounds = 1, types = "LS")), "rounds_exhausted",
         "the last of 1 rounds still found new outliers"))
  flags <- c("short_series", "heavy_tails", "reached_bound", "rounds_exhausted")
  for (case in cases) {
    label <- deparse1(case[[1L]])
    run <- warned(eval(case[[1L]]))
    expect_identical(flags[vapply(flags, function(flag) run$value[[flag]], logical(1))], as.character(case[[2L]]),
                     label = label)
    expect_length(run$messages, length(case[[2L]]))
    if (!is.null(case[[3L]])) {
      expect_true(startsWith(run$messages, case[[3L]]), label = label)
      expect_output(print(run$value), paste("Note:", case[[3L]]), fixed = TRUE)
    }
  }
  tails <- warned(ljungcv_outliers(rt(200, 2), order = c(0, 0, 0)))
  expect_match(tails$messages, sprintf("p-value %s)", format(tails$value$kurtosis_p_value, digits = 2L)), fixed = TRUE)
  expect_lt(tails$value$kurtosis_p_value, 0.05)
})

test_that("bad input is an error in R's terms: the argument, 1-based positions, Inf", {
  y <- sin(1:40) + 0.1 * (1:40)
  cases <- list(
    list(quote(ljungcv_outliers(as.character(y))), "'x' must be one numeric series"),
    list(quote(ljungcv_outliers(cbind(y, y))), "'x' must be one numeric series"),
    list(quote(ljungcv_outliers(c(y[1:2], Inf, y))), "y: value 3 is infinite"),
    list(quote(ljungcv_outliers(c(1, 2, 3, 4))), "y: 4 residuals to test under this model; outlier detection needs at least 5"),
    list(quote(ljungcv_outliers(c(1, 2, NA, 4, 5), order = c(0, 1, 1))), "y: 3 residuals to test"),
    list(quote(ljungcv_outliers(y, order = c(1, 0))), "'order' must be 3 whole numbers"),
    list(quote(ljungcv_outliers(y, order = c(6, 0, 0))), "p: must be from 0 to 5, got 6"),
    list(quote(ljungcv_outliers(y, seasonal = list(order = c(1, 0, 0), period = 2.5))), "'seasonal$period' must be 1 whole number"),
    list(quote(ljungcv_outliers(y, xreg = 1:39)), "'xreg' must have one row per value of 'x' (40), not 39"),
    list(quote(ljungcv_outliers(y, include.mean = "yes")), "'include.mean' must be TRUE, FALSE or NA"),
    list(quote(ljungcv_outliers(y, order = c(0, 1, 1), include.mean = TRUE)), "include_mean: a mean needs d + D = 0"),
    list(quote(ljungcv_outliers(y, alpha = c(0.05, 0.01))), "'alpha' must be a single number"),
    list(quote(ljungcv_outliers(y, alpha = NA)), "'alpha' must be a single number"),
    list(quote(ljungcv_outliers(y, alpha = 0.5)), "argument 2 (alpha = 0.5) rejected"),
    list(quote(ljungcv_outliers(y, alpha = Inf)), "argument 2 (alpha = Inf) rejected"),
    list(quote(ljungcv_outliers(y, delta = "0.7")), "'delta' must be numeric"),
    list(quote(ljungcv_outliers(y, delta = -Inf)), "decay must lie strictly between 0 and 1, got -Inf"),
    list(quote(ljungcv_outliers(y, critical_value = NaN)), "'critical_value' must be a single number"),
    list(quote(ljungcv_outliers(y, critical_value = Inf)), "critical_value: must be finite and positive, got Inf"),
    list(quote(ljungcv_outliers(y, critical_value = 0)), "critical_value: must be finite and positive, got 0"),
    list(quote(ljungcv_outliers(y, cval = 3)), "unused argument (cval = 3)"),
    list(quote(ljungcv_outliers(y, max_rounds = 2.5)), "'max_rounds' must be 1 whole number"),
    list(quote(ljungcv_outliers(y, max_rounds = 0)), "max_rounds: must be from 1 to 100, got 0"),
    list(quote(ljungcv_outliers(y, method = c("C", "L"))), "'method' must be a single text"),
    list(quote(ljungcv_outliers(y, method = "X")), "unknown method \"X\""),
    list(quote(ljungcv_outliers(y, order = c(0, 0, 0), method = "L", alpha = 0)), "no value for n = 40, alpha = 0"),
    list(quote(ljungcv_outliers(y, types = character(0))), "'types' must be one or more of"),
    list(quote(ljungcv_outliers(y, types = c("AO", "\033"))), "unknown outlier type \"\\033\""))
  for (case in cases) {
    expect_error(eval(case[[1L]]), case[[2L]], fixed = TRUE, label = deparse1(case[[1L]]))
  }
})

test_that("the core's spelling of numbers becomes R's", {
  expect_identical(ljungcv:::in_r_terms(c("got nan", "got -nan", "got inf, -inf", "financial, info")),
                   c("got NA", "got NA", "got Inf, -Inf", "financial, info"))
})

test_that("Ctrl-C stops a long call, and R signals the interrupt", {
  # A critical value calibrated from 100,000 drawn series: about four
  # seconds of draws, the stop hook asked before each. A child process is
  # sent SIGINT, as a terminal sends it on Ctrl-C.
  set.seed(3)
  y <- as.double(arima.sim(list(ar = 0.6), 300))
  # The package works on after the interrupt.
  expect_ctrl_c_stops(function() suppressWarnings(ljungcv_outliers(y, order = c(1, 0, 0), resamples = 100000)),
                      function() suppressWarnings(ljungcv_outliers(c(rep(5, 10), 100, rep(5, 9)),
                                                                   order = c(0, 0, 0)))$outliers$index,
                      11L)
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
  none <- suppressWarnings(ljungcv_outliers(y, order = c(0, 1, 1), critical_value = 1e6))
  y[c(20, 100)] <- y[c(20, 100)] + c(-9, 9)
  three <- suppressWarnings(ljungcv_outliers(y, order = c(0, 1, 1), types = c("AO", "LS")))
  cases <- list(list(three, "outliers as regressors AO20, LS61 and AO100", "y: 3 outliers under ARIMA(0,1,1)", TRUE),
                list(one, "the outlier as regressor LS61", "y: 1 outlier under ARIMA(0,1,1), critical value", TRUE),
                list(none, "no outliers", "y: no outliers under ARIMA(0,1,1), critical value 1e+06", FALSE))
  for (case in cases) {
    printed <- capture.output(print(summary(case[[1L]])))
    expect_true(any(startsWith(printed, sprintf("Final model (%s):", case[[2L]]))), info = case[[2L]])
    expect_true(any(startsWith(printed, "ljungcv_outliers(x = y, order = c(0, 1, 1)")))
    drawn <- plot_texts(case[[1L]])
    expect_true(any(startsWith(drawn, case[[3L]])), info = case[[3L]])
    expect_true(all(c("y", "series", "adjusted (outlier effects removed)") %in% drawn))
    expect_identical("outlier, with its type" %in% drawn, case[[4L]])
    expect_identical("LS" %in% drawn, case[[4L]])
  }
})
