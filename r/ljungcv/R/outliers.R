# Outliers in a series: stats::arima fits the model; the statistics, the
# locate stage and the critical value are the core's (the C interface's 1.2
# calls), so R and Python give the same bits on the same residuals.

OUTLIER_TYPES <- c(IO = 1L, AO = 2L, LS = 4L, TC = 8L)
MIN_OBSERVATIONS <- 5L
MAX_ROUNDS <- 10L  # locate-and-refit rounds; each adds only outliers not tried before

quoted <- function(text) encodeString(text, quote = "\"")  # control bytes escaped

outlier_type_codes <- function(types, name = "types") {
  if (!is.character(types) || anyNA(types) || length(types) == 0L) {
    stop(gettextf("'%s' must be one or more of \"AO\", \"LS\", \"TC\", \"IO\"", name), call. = FALSE)
  }
  codes <- OUTLIER_TYPES[toupper(types)]
  if (anyNA(codes)) {
    stop(gettextf("unknown outlier type %s: the types are \"AO\", \"LS\", \"TC\", \"IO\"",
                  quoted(types[is.na(codes)][1L])), call. = FALSE)
  }
  unname(codes)
}

single_number <- function(x, name) {
  value <- numeric_argument(x, name)
  if (length(value) != 1L || is.na(value)) {
    stop(gettextf("'%s' must be a single number", name), call. = FALSE)
  }
  value
}

ljungcv_outlier_statistics <- function(residuals, pi, type, delta = 0.7, sigma = NULL) {
  e <- numeric_argument(residuals, "residuals")
  weights <- numeric_argument(pi, "pi")
  if (length(type) != 1L) {
    stop("'type' must be one of \"AO\", \"LS\", \"TC\", \"IO\"", call. = FALSE)
  }
  code <- outlier_type_codes(type, "type")
  scale <- if (is.null(sigma)) NaN else single_number(sigma, "sigma")
  result <- .Call(C_outlier_statistics, e, weights, code, single_number(delta, "delta"), scale)
  list(effects = result[[1L]], tstats = result[[2L]])
}

# phi(B)(1 - B)^d as R's "ar" coefficients a (1 - a_1 B - a_2 B^2 - ...)
# and theta(B) as its "ma" coefficients, from a fit.
model_coefficients <- function(fit, order) {
  coefs <- stats::coef(fit)
  ar <- if (order[1L] > 0L) unname(coefs[paste0("ar", seq_len(order[1L]))]) else numeric(0)
  ma <- if (order[3L] > 0L) unname(coefs[paste0("ma", seq_len(order[3L]))]) else numeric(0)
  polynomial <- c(1, -ar)
  for (i in seq_len(order[2L])) polynomial <- c(polynomial, 0) - c(0, polynomial)
  list(ar = -polynomial[-1L], ma = ma)
}

# pi_1..pi_count: pi(B) = 1 - pi_1 B - ... = phi(B)(1 - B)^d / theta(B).
pi_weights <- function(fit, order, count) {
  m <- model_coefficients(fit, order)
  if (count == 0L) return(numeric(0))
  -stats::ARMAtoMA(ar = -m$ma, ma = -m$ar, lag.max = count)
}

# psi_0..psi_{count-1}: the path of an innovational outlier on the series.
psi_weights <- function(fit, order, count) {
  m <- model_coefficients(fit, order)
  c(1, if (count > 1L) stats::ARMAtoMA(ar = m$ar, ma = m$ma, lag.max = count - 1L))
}

# One column per outlier (time 1-based, type code): its shape on the series' scale.
outlier_regressors <- function(chosen, n, delta, shape_fit, order) {
  X <- matrix(0, n, nrow(chosen), dimnames = list(NULL, paste0("outlier", seq_len(nrow(chosen)))))
  for (i in seq_len(nrow(chosen))) {
    time <- chosen$time[i]
    span <- n - time + 1L
    X[time:n, i] <- switch(names(OUTLIER_TYPES)[match(chosen$code[i], OUTLIER_TYPES)],
                           AO = c(1, rep(0, span - 1L)),
                           LS = 1,
                           TC = delta^(seq_len(span) - 1L),
                           IO = psi_weights(shape_fit, order, span))
  }
  X
}

fit_arima <- function(y, order, xreg) {
  # CSS-ML may stop on a non-stationary start from CSS; ML alone then.
  tryCatch(stats::arima(y, order = order, xreg = xreg),
           error = function(e) stats::arima(y, order = order, xreg = xreg, method = "ML"))
}

outlier_tstats <- function(fit, count) {
  names <- paste0("outlier", seq_len(count))
  se <- sqrt(diag(fit$var.coef))[names]
  unname(stats::coef(fit)[names] / se)
}

ljungcv_outliers <- function(x, order = c(0, 0, 0), alpha = 0.05, method = "C", types = c("AO", "LS", "TC"),
                             delta = 0.7, cval = NULL) {
  call <- match.call()
  if (!is.numeric(x) || NCOL(x) != 1L) {
    stop("'x' must be one numeric series", call. = FALSE)
  }
  y <- as.double(x)
  if (!all(is.finite(y))) {
    stop(gettextf("'x' has missing or infinite values, the first at %d: fill or drop them first",
                  which(!is.finite(y))[1L]), call. = FALSE)
  }
  if (!is.numeric(order) || length(order) != 3L || anyNA(order) || any(order < 0) || any(order != floor(order))) {
    stop("'order' must be three non-negative whole numbers c(p, d, q)", call. = FALSE)
  }
  order <- as.integer(order)
  d <- order[2L]
  n <- length(y)
  if (n - d < MIN_OBSERVATIONS) {
    stop(gettextf("'x' has %d observations; outlier detection needs at least %d for d = %d", n,
                  MIN_OBSERVATIONS + d, d), call. = FALSE)
  }
  codes <- outlier_type_codes(types)
  type_set <- sum(unique(codes))
  level <- single_number(alpha, "alpha")
  if (!is.null(method)) method <- method_argument(method)
  if (length(method) > 1L) stop("'method' must be a single text", call. = FALSE)
  delta <- single_number(delta, "delta")
  threshold <- if (is.null(cval)) NaN else single_number(cval, "cval")
  if (!is.null(cval) && !(is.finite(threshold) && threshold > 0)) {
    stop("'cval' must be a finite positive number, or NULL for LJUNGCV's", call. = FALSE)
  }

  chosen <- data.frame(time = integer(0), code = integer(0))
  # A level shift at the first time of an undifferenced series is its mean,
  # which the model has already: no regressor for it.
  tried <- paste(1L, OUTLIER_TYPES[["LS"]])
  xreg <- NULL  # the regressors of the current fit
  fit <- fit_arima(y, order, NULL)
  refit <- function(chosen, previous) {
    xreg <<- if (nrow(chosen) > 0L) outlier_regressors(chosen, n, delta, previous, order)
    fit_arima(y, order, xreg)
  }
  rounds <- 0L
  while (rounds < MAX_ROUNDS) {
    rounds <- rounds + 1L
    residuals <- as.double(stats::residuals(fit))[(d + 1L):n]
    located <- .Call(C_locate_outliers, residuals, pi_weights(fit, order, length(residuals) - 1L), type_set,
                     delta, level, method, threshold)
    threshold <- located[[5L]]
    new <- data.frame(time = as.integer(located[[1L]]) + d + 1L, code = located[[2L]])
    key <- paste(new$time, new$code)
    new <- new[!(new$time %in% chosen$time) & !(key %in% tried), , drop = FALSE]
    if (nrow(new) == 0L) break
    tried <- c(tried, paste(new$time, new$code))
    chosen <- rbind(chosen, new)
    chosen <- chosen[order(chosen$time), , drop = FALSE]
    fit <- refit(chosen, fit)
    while (nrow(chosen) > 0L) {
      t <- abs(outlier_tstats(fit, nrow(chosen)))
      t[is.na(t)] <- -1
      weakest <- which.min(t)
      if (t[weakest] >= threshold) break
      chosen <- chosen[-weakest, , drop = FALSE]
      fit <- refit(chosen, fit)
    }
  }
  rownames(chosen) <- NULL
  count <- nrow(chosen)
  effects <- if (count > 0L) unname(stats::coef(fit)[paste0("outlier", seq_len(count))]) else numeric(0)
  adjusted <- x
  if (count > 0L) {
    adjusted[] <- y - drop(xreg %*% effects)
  }
  outliers <- data.frame(index = chosen$time, time = as.double(stats::time(x))[chosen$time],
                         type = names(OUTLIER_TYPES)[match(chosen$code, OUTLIER_TYPES)], effect = effects,
                         tstat = if (count > 0L) outlier_tstats(fit, count) else numeric(0),
                         stringsAsFactors = FALSE)
  # The final fit was made for this call: its own call names only the
  # procedure's variables (x = y, xreg = xreg).
  fit$call <- call
  structure(list(outliers = outliers, critical_value = threshold, fit = fit, adjusted = adjusted, x = x,
                 order = order, alpha = level, method = method, rounds = rounds, call = call),
            class = "ljungcv_outliers")
}

# What the series is called: the expression the call gave for it.
series_name <- function(object) {
  name <- if (is.null(object$call)) "" else paste(deparse(object$call$x, width.cutoff = 60L), collapse = " ")
  if (nzchar(name)) name else "the series"
}

print.ljungcv_outliers <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  count <- nrow(x$outliers)
  cat(sprintf("ARIMA(%s): %d outlier%s at critical value %s\n", paste(x$order, collapse = ","), count,
              if (count == 1L) "" else "s", format(x$critical_value, digits = digits)))
  if (count > 0L) print(x$outliers, digits = digits, row.names = FALSE)
  invisible(x)
}

summary.ljungcv_outliers <- function(object, ...) {
  structure(list(outliers = object, fit = object$fit), class = "summary.ljungcv_outliers")
}

# "the outlier as regressor outlier1", "outliers as regressors outlier1 to
# outlier3, in time order", or "no outliers".
regressors_text <- function(count) {
  if (count == 0L) return("no outliers")
  if (count == 1L) return("the outlier as regressor outlier1")
  sprintf("outliers as regressors outlier1 to outlier%d, in time order", count)
}

print.summary.ljungcv_outliers <- function(x, ...) {
  print(x$outliers, ...)
  cat(sprintf("\nFinal model (%s):\n", regressors_text(nrow(x$outliers$outliers))))
  print(x$fit, ...)
  invisible(x)
}

plot.ljungcv_outliers <- function(x, main = NULL, xlab = "Time", ylab = NULL, ...) {
  series <- stats::as.ts(x$x)
  adjusted <- stats::as.ts(x$adjusted)
  o <- x$outliers
  count <- nrow(o)
  name <- series_name(x)
  if (is.null(main)) {
    main <- sprintf("%s: %s under ARIMA(%s), critical value %s", name,
                    if (count == 0L) "no outliers" else sprintf("%d outlier%s", count, if (count == 1L) "" else "s"),
                    paste(x$order, collapse = ","), format(x$critical_value, digits = 4L))
  }
  if (is.null(ylab)) ylab <- name
  limits <- range(series, adjusted)
  limits[2L] <- limits[2L] + 0.2 * diff(limits)  # room for the legend above the series
  graphics::plot(series, main = main, xlab = xlab, ylab = ylab, col = "grey40", ylim = limits, ...)
  graphics::lines(adjusted, col = "blue", lwd = 2)
  if (count > 0L) {
    graphics::points(o$time, as.double(series)[o$index], pch = 19, col = "red")
    graphics::text(o$time, as.double(series)[o$index], o$type, pos = 3, col = "red")
  }
  entries <- c("series", "adjusted (outlier effects removed)", if (count > 0L) "outlier, with its type")
  graphics::legend("topleft", legend = entries, col = c("grey40", "blue", "red")[seq_along(entries)],
                   lty = c(1, 1, NA)[seq_along(entries)], lwd = c(1, 2, NA)[seq_along(entries)],
                   pch = c(NA, NA, 19)[seq_along(entries)], bg = "white", inset = 0.01)
  invisible(x)
}
