# order = "auto", the default: the model is identified by the core
# (cvhost_identify_arima, or the procedure with identify). These tests check
# what R adds: the chosen model read back and refitted as a model of one's
# own, the same bits; the candidates' table against the fit; the outlier
# procedure's final model against its identification; the refusals; and the
# batch against ljungcv_outliers() series by series. Series are short and the
# search bounded, for the suite's time budget.

SMALL <- list(max_p = 2, max_q = 2, max_P = 1, max_Q = 1)

ar_series <- function(n, seed, phi = 0.6, level = 10) {
  set.seed(seed)
  level + as.double(stats::arima.sim(list(ar = phi), n))
}

# A monthly series with a season and a random walk, n = 72.
seasonal_series <- function(seed) {
  set.seed(seed)
  stats::ts(cumsum(rnorm(72, 0, 0.3)) + rep(c(3, 1, -1, -2, 0, 2, 4, 1, -3, -2, 0, 1), 6) + rnorm(72),
            start = c(2010, 1), frequency = 12)
}

# The same model given as an order of one's own: arma (p, q, P, Q, s, d, D)
# and the constant as the fit's coefficient names say.
refit <- function(y, fit, xreg = NULL) {
  a <- fit$arma
  ljungcv_arima(y, order = a[c(1L, 6L, 2L)], seasonal = list(order = a[c(3L, 7L, 4L)], period = a[5L]),
                xreg = xreg, include.mean = "intercept" %in% names(fit$coef),
                include.drift = "drift" %in% names(fit$coef))
}

test_that("the identified model, given as an order of one's own, fits to the same bits", {
  set.seed(5)
  x <- rnorm(100)
  cases <- list(
    list(name = "AR(1) with a mean", y = ar_series(100, 1), xreg = NULL),
    list(name = "random walk with drift", y = cumsum(0.4 + rnorm(100)), xreg = NULL),
    list(name = "monthly, period from the ts", y = seasonal_series(2), xreg = NULL),
    list(name = "with a regressor", y = ar_series(100, 3) + 2 * x, xreg = x))
  for (case in cases) {
    auto <- ljungcv_arima(case$y, xreg = case$xreg, identify = SMALL)
    given <- refit(case$y, auto, case$xreg)
    expect_identical(names(auto$coef), names(given$coef), label = case$name)
    expect_same_bits(unname(auto$coef), unname(given$coef), paste(case$name, "coef"))
    expect_same_bits(c(auto$loglik, auto$sigma2, auto$aicc), c(given$loglik, given$sigma2, given$aicc),
                     paste(case$name, "loglik, sigma2, aicc"))
    expect_same_bits(as.double(auto$residuals), as.double(given$residuals), paste(case$name, "residuals"))
    expect_null(given$identification)
    # The table's kept candidate of least AICc is the model chosen, with its constant.
    table <- auto$identification
    best <- table[table$outcome == "kept", ][which.min(table$aicc[table$outcome == "kept"]), ]
    expect_identical(as.integer(best[c("p", "q", "P", "Q", "d", "D")]), auto$arma[c(1:4, 6:7)], label = case$name)
    expect_identical(best$constant, any(c("intercept", "drift") %in% names(auto$coef)), label = case$name)
    # The candidates are ranked by a rougher search than the fit reported: their AICc agree closely.
    expect_lt(abs(best$aicc - auto$aicc), 1e-3, label = case$name)
    expect_identical(attr(table, "arma"), auto$arma, label = case$name)
  }
  monthly <- ljungcv_arima(seasonal_series(2), identify = SMALL)
  expect_identical(monthly$arma[5L], 12L)
  expect_true(is.finite(attr(monthly$identification, "seasonal_strength")))
  expect_output(print(monthly), paste0(ljungcv:::model_label(monthly$arma), ", identified by least AICc among ",
                                       nrow(monthly$identification), " candidates"), fixed = TRUE)
})

test_that("the period is the ts frequency's, or seasonal$period's, the same bits either way", {
  y <- seasonal_series(4)
  from_ts <- ljungcv_arima(y, identify = SMALL)
  from_argument <- ljungcv_arima(as.double(y), seasonal = list(period = 12), identify = SMALL)
  expect_identical(from_ts$arma, from_argument$arma)
  expect_same_bits(unname(from_ts$coef), unname(from_argument$coef), "coef")
  expect_identical(ljungcv_arima(as.double(y), identify = SMALL)$arma[5L], 1L)
})

test_that("the outlier procedure finds planted outliers and ends under its second identification's model", {
  # A spike and a level shift: on the series the shift reads as a unit
  # root; on the series adjusted for them, it does not.
  y <- ar_series(100, 3)
  y[40] <- y[40] + 8
  y[70:100] <- y[70:100] + 4
  found <- ljungcv_outliers(y)
  expect_identical(found$outliers[c("index", "type")],
                   data.frame(index = c(40L, 70L), type = c("AO", "LS"), stringsAsFactors = FALSE))
  expect_false(identical(attr(found$identification$series, "arma"), attr(found$identification$adjusted, "arma")))
  expect_identical(found$arma, attr(found$identification$adjusted, "arma"))
  expect_identical(found$arma, found$fit$arma)
  expect_output(print(found), "identified by least AICc among", fixed = TRUE)
  # The final model given as an order of one's own finds the same outliers.
  a <- found$arma
  given <- ljungcv_outliers(y, order = a[c(1L, 6L, 2L)], include.mean = "intercept" %in% names(found$fit$coef))
  expect_identical(given$outliers[c("index", "type")], found$outliers[c("index", "type")])
  expect_same_bits(given$outliers$effect, found$outliers$effect, "effects")
})

test_that("what order = \"auto\" chooses itself is refused when given, naming the argument", {
  y <- ar_series(60, 9)
  cases <- list(
    list(quote(ljungcv_arima(y, order = "auto", seasonal = list(order = c(0, 1, 1), period = 12))), "'seasonal'"),
    list(quote(ljungcv_screen(list(y), order = "auto", seasonal = list(order = c(1, 0, 0)))), "'seasonal'"),
    list(quote(ljungcv_arima(y, order = "auto", include.mean = TRUE)), "'include.mean'"),
    list(quote(ljungcv_arima(y, order = "auto", include.drift = TRUE)), "'include.drift'"),
    list(quote(ljungcv_arima(y, order = "automatic")), "'order' must be 3 whole numbers or \"auto\""),
    list(quote(ljungcv_outliers(y, order = c(1, 0, 0), identify = SMALL)), "'identify' bounds the search"),
    list(quote(ljungcv_arima(y, identify = list(max_x = 1))), "'identify' must be a list with any of"),
    list(quote(ljungcv_arima(y, identify = list(max_p = 1.5))), "'identify$max_p' must be 1 whole number"))
  for (case in cases) {
    expect_error(eval(case[[1L]]), case[[2L]], fixed = TRUE, label = deparse1(case[[1L]]))
  }
  # The core checks the bounds' ranges, and names the bound.
  expect_error(ljungcv_arima(y, identify = list(max_p = 9)), "max_p")
})

test_that("calls that give a model of their own without an order keep the order (0, 0, 0)", {
  y <- ar_series(60, 11)
  same <- function(a, b) {
    expect_identical(a$arma, b$arma)
    expect_same_bits(unname(a$coef), unname(b$coef), "coef")
    expect_null(a$identification)
  }
  same(ljungcv_arima(y, include.mean = FALSE), ljungcv_arima(y, order = c(0, 0, 0), include.mean = FALSE))
  same(ljungcv_arima(y, seasonal = list(order = c(1, 0, 0), period = 4)),
       ljungcv_arima(y, order = c(0, 0, 0), seasonal = list(order = c(1, 0, 0), period = 4)))
  quarterly <- stats::ts(y, frequency = 4)
  same(ljungcv_outliers(quarterly, seasonal = c(1, 0, 0))$fit,
       ljungcv_outliers(quarterly, order = c(0, 0, 0), seasonal = list(order = c(1, 0, 0), period = 4))$fit)
})

test_that("screen identifies each series alone: the rows and models of ljungcv_outliers, series by series", {
  series <- lapply(1:4, function(k) ar_series(60 + 10 * k, 20 + k, phi = 0.2 * k))
  series[[2L]][30] <- series[[2L]][30] + 9
  series[[4L]] <- series[[4L]][1:3]  # too short: fails alone
  names(series) <- c("a", "b", "c", "d")
  screened <- ljungcv_screen(series, identify = SMALL, workers = 2)
  for (id in names(series)) {
    row <- screened$status[screened$status$series == id, ]
    alone <- tryCatch(suppressWarnings(ljungcv_outliers(series[[id]], identify = SMALL)), error = identity)
    if (inherits(alone, "error")) {
      expect_identical(row$status, "invalid argument", label = id)
      expect_identical(row$message, conditionMessage(alone), label = id)
      expect_identical(row$model, NA_character_, label = id)
      next
    }
    expect_identical(row$model, ljungcv:::model_label(alone$arma), label = id)
    expect_identical(row$count, nrow(alone$outliers), label = id)
    expect_same_bits(row$critical_value, alone$critical_value, paste(id, "critical value"))
    mine <- screened$outliers[screened$outliers$series == id, ]
    expect_identical(mine$time, as.character(alone$outliers$index), label = id)
    expect_same_bits(mine$effect, alone$outliers$effect, paste(id, "effects"))
    expect_same_bits(mine$t, alone$outliers$tstat, paste(id, "t"))
  }
  expect_true(30L %in% as.integer(screened$outliers$time[screened$outliers$series == "b"]))
})
