# Regression with seasonal ARIMA errors, fitted by the core's estimator
# through the C interface (cvhost_fit_arima): the same bits as Python and C.
# This file converts the series and regressors in and the result out, with
# the fields and methods stats::arima's users know.

ljungcv_arima <- function(x, order = c(0L, 0L, 0L),
                          seasonal = list(order = c(0L, 0L, 0L), period = frequency(x)),
                          xreg = NULL, include.mean = TRUE, include.drift = FALSE, ..., maxit = 100L) {
  extra <- list(...)
  if (length(extra) > 0L) {
    named <- names(extra)
    shown <- if (is.null(named) || !nzchar(named[1L])) "an unnamed argument" else quoted(named[1L])
    stop(gettextf("ljungcv_arima fits by exact maximum likelihood and takes no other arguments: %s is not one",
                  shown), call. = FALSE)
  }
  if (!is.numeric(x) || is.matrix(x) && NCOL(x) != 1L) {
    stop("'x' must be one numeric series", call. = FALSE)
  }
  y <- as.double(x)  # NA and NaN are missing values
  order <- whole_numbers(order, 3L, "order")
  if (is.numeric(seasonal)) {
    seasonal <- list(order = seasonal)
  }
  if (!is.list(seasonal) || !all(names(seasonal) %in% c("order", "period"))) {
    stop("'seasonal' must be list(order = c(P, D, Q), period = s) or the order alone", call. = FALSE)
  }
  seasonal_order <- whole_numbers(if (is.null(seasonal$order)) c(0L, 0L, 0L) else seasonal$order, 3L,
                                  "seasonal$order")
  period <- if (is.null(seasonal$period)) frequency(x) else seasonal$period
  # The period matters only with a seasonal part, as in stats::arima.
  engine_period <- if (all(seasonal_order == 0L)) 1L else whole_numbers(period, 1L, "seasonal$period")
  regressors <- regressor_matrix(xreg, length(y))
  mean_flag <- if (missing(include.mean)) -1L else as.integer(single_flag(include.mean, "include.mean"))
  drift_flag <- as.integer(single_flag(include.drift, "include.drift"))
  fit <- .Call(C_fit_arima, y, c(order, seasonal_order, engine_period), regressors$values, regressors$names,
               mean_flag, drift_flag, whole_numbers(maxit, 1L, "maxit"))
  names(fit) <- c("names", "coef", "se", "cov", "sigma2", "loglik", "aic", "aicc", "bic", "nobs", "residuals",
                  "pi", "psi", "converged", "message", "iterations")
  coef <- stats::setNames(fit$coef, fit$names)
  k <- length(coef)
  residuals <- fit$residuals
  if (stats::is.ts(x)) {
    residuals <- stats::ts(residuals, start = stats::start(x), frequency = stats::frequency(x))
  }
  structure(list(
    coef = coef,
    sigma2 = fit$sigma2,
    var.coef = matrix(fit$cov, k, k, byrow = TRUE, dimnames = list(fit$names, fit$names)),
    loglik = fit$loglik,
    aic = fit$aic, aicc = fit$aicc, bic = fit$bic,
    arma = as.integer(c(order[1L], order[3L], seasonal_order[1L], seasonal_order[3L],
                        if (engine_period == 1L) period else engine_period, order[2L], seasonal_order[2L])),
    residuals = residuals,
    nobs = fit$nobs,
    converged = fit$converged, message = fit$message, iterations = fit$iterations,
    pi = fit$pi, psi = fit$psi,
    series = deparse1(substitute(x)),
    call = match.call()
  ), class = "ljungcv_arima")
}

whole_numbers <- function(x, count, name) {
  if (!is.numeric(x) || length(x) != count || anyNA(x) || any(x != round(x)) || any(abs(x) > .Machine$integer.max)) {
    stop(gettextf("'%s' must be %d whole number%s", name, count, if (count == 1L) "" else "s"), call. = FALSE)
  }
  as.integer(x)
}

single_flag <- function(x, name) {
  if (!is.logical(x) || length(x) != 1L || is.na(x)) {
    stop(gettextf("'%s' must be TRUE or FALSE", name), call. = FALSE)
  }
  x
}

# The regressors as one column-major block and their names (a single
# unnamed one is "xreg", several are "xreg1", "xreg2", ..., as in stats::arima).
regressor_matrix <- function(xreg, n) {
  if (is.null(xreg)) {
    return(list(values = NULL, names = character(0)))
  }
  if (is.data.frame(xreg)) {
    if (!all(vapply(xreg, function(column) is.numeric(column), logical(1)))) {
      stop("'xreg' must hold numbers only", call. = FALSE)
    }
    xreg <- as.matrix(xreg)
  }
  if (!is.numeric(xreg)) {
    stop("'xreg' must hold numbers only", call. = FALSE)
  }
  matrix <- as.matrix(xreg)
  if (nrow(matrix) != n) {
    stop(gettextf("'xreg' must have one row per value of 'x' (%d), not %d", n, nrow(matrix)), call. = FALSE)
  }
  names <- colnames(matrix)
  if (is.null(names)) {
    names <- if (ncol(matrix) == 1L) "xreg" else paste0("xreg", seq_len(ncol(matrix)))
  }
  list(values = as.double(matrix), names = as.character(names))
}

print.ljungcv_arima <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  cat("\nCall:\n", paste(deparse(x$call), collapse = "\n"), "\n\n", sep = "")
  if (length(x$coef) > 0L) {
    cat("Coefficients:\n")
    table <- rbind(x$coef, s.e. = sqrt(diag(x$var.coef)))
    rownames(table)[1L] <- ""
    print.default(table, print.gap = 2L, digits = digits)
    cat("\n")
  }
  cat("sigma^2 estimated as ", format(x$sigma2, digits = digits), ":  log likelihood = ",
      format(round(x$loglik, 2L)), ",  aic = ", format(round(x$aic, 2L)), "\n", sep = "")
  if (!x$converged) {
    cat("The search did not converge: ", x$message, "\n", sep = "")
  }
  invisible(x)
}

coef.ljungcv_arima <- function(object, ...) object$coef

vcov.ljungcv_arima <- function(object, ...) object$var.coef

residuals.ljungcv_arima <- function(object, ...) object$residuals

nobs.ljungcv_arima <- function(object, ...) object$nobs

logLik.ljungcv_arima <- function(object, ...) {
  structure(object$loglik, df = length(object$coef) + 1L, nobs = object$nobs, class = "logLik")
}
