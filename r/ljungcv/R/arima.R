# Regression with seasonal ARIMA errors, fitted by the core's estimator
# through the C interface (cvhost_fit_arima): the same bits as Python and C.
# This file converts the series and regressors in and the result out, with
# the fields and methods stats::arima's users know.

ljungcv_arima <- function(x, order = "auto", seasonal = list(period = NA), xreg = NULL, include.mean = TRUE,
                          include.drift = FALSE, ..., maxit = 100L, identify = NULL) {
  extra <- list(...)
  if (length(extra) > 0L) {
    named <- names(extra)
    shown <- if (is.null(named) || !nzchar(named[1L])) "an unnamed argument" else quoted(named[1L])
    stop(gettextf("ljungcv_arima fits by exact maximum likelihood and takes no other arguments: %s is not one",
                  shown), call. = FALSE)
  }
  if (missing(order)) {
    order <- default_order(seasonal, !missing(include.mean) || !missing(include.drift))
  }
  model <- model_arguments(x, order, seasonal, xreg, if (missing(include.mean)) NA else include.mean)
  drift <- single_flag(include.drift, "include.drift")
  if (model$identify && drift) {
    stop(paste("'include.drift' cannot be given with order = \"auto\", which chooses the constant itself:",
               "give an order of your own"), call. = FALSE)
  }
  fit <- .Call(C_fit_arima, model$y, model$orders, model$xreg, model$xreg_names, model$mean, as.integer(drift),
               whole_numbers(maxit, 1L, "maxit"), identify_arguments(identify, model))
  if (is.null(fit)) {
    signal_interrupt()
  }
  arima_object(fit, x, model$arma, deparse1(substitute(x)), match.call())
}

# The "ljungcv_arima" object of a fit's fields as the glue copies them out
# of the C interface (fit_fields in src/ljungcv.cpp), for the series x; arma
# NULL for an identified model, whose fit says which it is.
arima_object <- function(fit, x, arma, series, call) {
  names(fit) <- c("names", "coef", "se", "cov", "sigma2", "loglik", "aic", "aicc", "bic", "nobs", "residuals",
                  "pi", "psi", "converged", "message", "iterations", "order", "identification")
  if (is.null(arma)) arma <- arma_of(fit$order)
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
    arma = arma,
    residuals = residuals,
    nobs = fit$nobs,
    converged = fit$converged, message = fit$message, iterations = fit$iterations,
    pi = fit$pi, psi = fit$psi,
    identification = identification_frame(fit$identification),
    series = series,
    call = call
  ), class = "ljungcv_arima")
}

single_flag <- function(x, name) {
  if (!is.logical(x) || length(x) != 1L || is.na(x)) {
    stop(gettextf("'%s' must be TRUE or FALSE", name), call. = FALSE)
  }
  x
}

print.ljungcv_arima <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  cat("\nCall:\n", paste(deparse(x$call), collapse = "\n"), "\n\n", sep = "")
  if (!is.null(x$identification)) {
    cat(identified_text(x$arma, x$identification), "\n\n", sep = "")
  }
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

# "ARIMA(0,1,1)(0,1,1)[12], identified by least AICc among 14 candidates",
# and the search's stop at its bound where it stopped there.
identified_text <- function(arma, identification) {
  text <- sprintf("%s, identified by least AICc among %d candidate%s", model_label(arma), nrow(identification),
                  if (nrow(identification) == 1L) "" else "s")
  if (isTRUE(attr(identification, "bound_reached"))) {
    text <- paste0(text, " (the search stopped at its bound, 'identify$max_models')")
  }
  text
}
