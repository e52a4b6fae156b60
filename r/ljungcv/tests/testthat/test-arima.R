# ljungcv_arima is the core's fit through the C interface; these tests check
# what R adds: the bits of the fixture Python and C read too
# (arima-fixture.txt), the fit against stats::arima(method = "ML") run as a
# peer, the object's form and methods, and the refusals.

arima_fixture <- function() {
  lines <- readLines(test_path("arima-fixture.txt"))
  fields <- strsplit(lines[!startsWith(lines, "#")], " ", fixed = TRUE)
  cases <- list()
  for (f in fields) {
    if (f[1L] == "case") {
      cases[[f[2L]]] <- list(orders = as.integer(f[-(1:2)]))
    } else {
      cases[[f[2L]]][[f[1L]]] <- f[-(1:2)]
    }
  }
  cases
}

# The same doubles, NaN where the fixture has NaN.
expect_fixture_bits <- function(actual, text, label) {
  expected <- hex(text)
  missing <- is.nan(expected)
  expect_identical(is.nan(actual), missing, label = label)
  expect_same_bits(actual[!missing], expected[!missing], label)
}

fit_case <- function(case) {
  o <- case$orders
  y <- hex(case$y)
  xreg <- if (is.null(case$xreg)) NULL else matrix(hex(case$xreg), length(y))
  if (!is.null(xreg)) colnames(xreg) <- paste0("x", seq_len(ncol(xreg)))
  ljungcv_arima(y, order = o[1:3], seasonal = list(order = o[4:6], period = o[7]), xreg = xreg)
}

test_that("the fits give the fixture's bits, as in Python and C", {
  cases <- arima_fixture()
  expect_length(cases, 6L)
  for (name in names(cases)) {
    case <- cases[[name]]
    fit <- fit_case(case)
    expect_identical(names(coef(fit)), case$names, label = name)
    expect_fixture_bits(unname(coef(fit)), case$coef, paste(name, "coef"))
    expect_fixture_bits(unname(sqrt(diag(vcov(fit)))), case$se, paste(name, "se"))
    summary <- hex(case$fit)
    expect_fixture_bits(c(fit$loglik, fit$sigma2, fit$aic), case$fit[1:3], paste(name, "loglik, sigma2, aic"))
    expect_identical(fit$nobs, summary[4L])
    expect_fixture_bits(as.double(residuals(fit)), case$resid, paste(name, "resid"))
    expect_fixture_bits(fit$pi[seq_along(case$pi)], case$pi, paste(name, "pi"))
  }
})

test_that("the fit is at least as likely as stats::arima's, on the same differenced series", {
  # stats::arima gives an undifferenced series' integrated states a
  # large-variance prior, which changes its likelihood's constant; on the
  # differenced series both maximise the same exact likelihood.
  cases <- arima_fixture()
  for (name in names(cases)) {
    case <- cases[[name]]
    o <- case$orders
    fit <- fit_case(case)
    expect_true(fit$converged, label = name)
    z <- hex(case$y)
    if (o[2L] > 0L) z <- diff(z, differences = o[2L])
    if (o[5L] > 0L) z <- diff(z, lag = o[7L])
    lost <- length(hex(case$y)) - length(z)
    xreg <- if (is.null(case$xreg)) NULL else matrix(hex(case$xreg), length(hex(case$y)))[(lost + 1):length(hex(case$y)), , drop = FALSE]
    peer <- suppressWarnings(stats::arima(z, order = c(o[1L], 0L, o[3L]),
                                          seasonal = list(order = c(o[4L], 0L, o[6L]), period = o[7L]), xreg = xreg,
                                          include.mean = o[2L] + o[5L] == 0L, method = "ML"))
    expect_gte(fit$loglik, peer$loglik - 1e-6 * abs(peer$loglik), label = name)
    if (abs(fit$loglik - peer$loglik) <= 1e-6 * abs(peer$loglik)) {
      expect_lt(max(abs(unname(coef(fit)) - unname(coef(peer)))), 1e-3, label = name)
    }
  }
})

test_that("the result reads like stats::arima's: arma, a ts of residuals, logLik, print", {
  set.seed(4)
  x <- ts(cumsum(rnorm(96)) + 10, start = c(2001, 4), frequency = 12)
  x[c(10, 50)] <- NA
  fit <- ljungcv_arima(x, order = c(0, 1, 1), seasonal = list(order = c(0, 1, 1)))
  expect_identical(fit$arma, c(0L, 1L, 0L, 1L, 12L, 1L, 1L))
  expect_identical(tsp(residuals(fit)), tsp(x))
  expect_true(all(is.na(residuals(fit)[c(10, 50)])))
  expect_s3_class(logLik(fit), "logLik")
  expect_identical(attr(logLik(fit), "df"), 3L)
  expect_identical(AIC(fit), fit$aic)
  expect_output(print(fit), "sigma\\^2 estimated as .*log likelihood")
})

test_that("bad input is an error that names the argument and the rule", {
  y <- sin(1:40) + 0.1 * (1:40)
  expect_error(ljungcv_arima(y, order = c(6, 0, 0)), "p: must be from 0 to 5, got 6", fixed = TRUE)
  expect_error(ljungcv_arima(y, order = c(0, 1, 0), include.mean = TRUE), "include_mean: a mean needs d + D = 0",
               fixed = TRUE)
  expect_error(ljungcv_arima(y, include.drift = TRUE), "include_drift: a drift needs d + D = 1", fixed = TRUE)
  expect_error(ljungcv_arima(y, method = "CSS"), "takes no other arguments: \"method\"", fixed = TRUE)
  expect_error(ljungcv_arima(as.character(y)), "'x' must be one numeric series", fixed = TRUE)
  expect_error(ljungcv_arima(y, xreg = 1:39), "'xreg' must have one row per value of 'x' (40), not 39",
               fixed = TRUE)
  expect_error(ljungcv_arima(c(y, Inf)), "y: value 41 is infinite", fixed = TRUE)
  expect_error(ljungcv_arima(rep(NA_real_, 40)), "y: every value is missing", fixed = TRUE)
})
