# Outliers in a series: the whole procedure (fit, locate, refit, drop,
# rounds, warnings) is the core's, one call of the C interface
# (cvhost_find_outliers); this file converts the arguments in and the result
# out, with R's positions, missing values and the series' own calendar.
# The statistics alone (ljungcv_outlier_statistics) are the 1.2 call.

OUTLIER_TYPES <- c(IO = 1L, AO = 2L, LS = 4L, TC = 8L, SLS = 16L)  # the C interface's CVHOST_OUTLIER_* codes
TYPE_LIST <- "\"AO\", \"LS\", \"TC\", \"IO\", \"SLS\""

quoted <- function(text) encodeString(text, quote = "\"")  # control bytes escaped

outlier_type_codes <- function(types, name = "types") {
  if (!is.character(types) || anyNA(types) || length(types) == 0L) {
    stop(gettextf("'%s' must be one or more of %s", name, TYPE_LIST), call. = FALSE)
  }
  codes <- OUTLIER_TYPES[toupper(types)]
  if (anyNA(codes)) {
    stop(gettextf("unknown outlier type %s: the types are %s", quoted(types[is.na(codes)][1L]), TYPE_LIST),
         call. = FALSE)
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
    stop(gettextf("'type' must be one of %s", TYPE_LIST), call. = FALSE)
  }
  code <- outlier_type_codes(type, "type")
  if (code == OUTLIER_TYPES[["SLS"]]) {
    stop("a seasonal level shift (\"SLS\") needs the model's period, which ljungcv_outlier_statistics ",
         "does not take: ljungcv_outliers looks for it", call. = FALSE)
  }
  scale <- if (is.null(sigma)) NaN else single_number(sigma, "sigma")
  result <- .Call(C_outlier_statistics, e, weights, code, single_number(delta, "delta"), scale)
  list(effects = result[[1L]], tstats = result[[2L]])
}


ljungcv_outliers <- function(x, order = "auto", seasonal = list(period = NA), xreg = NULL, include.mean = NA,
                             alpha = NULL, method = NULL, types = NULL, delta = NULL, critical_value = NULL,
                             max_rounds = NULL, resamples = NULL, seed = NULL, identify = NULL) {
  call <- match.call()
  series <- deparse1(substitute(x))
  if (missing(order)) {
    order <- default_order(seasonal, !missing(include.mean))
  }
  model <- model_arguments(x, order, seasonal, xreg, include.mean)
  how <- identify_arguments(identify, model)
  # NULL leaves the C interface's default in place.
  type_set <- if (is.null(types)) NULL else sum(unique(outlier_type_codes(types)))
  if (!is.null(method)) {
    method <- method_argument(method)
    if (length(method) != 1L) stop("'method' must be a single text", call. = FALSE)
  }
  number <- function(value, name) if (is.null(value)) NULL else single_number(value, name)
  found <- .Call(C_find_outliers, model$y, model$orders, model$xreg, model$xreg_names, model$mean, type_set,
                 number(delta, "delta"), number(alpha, "alpha"), method, number(critical_value, "critical_value"),
                 if (is.null(max_rounds)) NULL else whole_numbers(max_rounds, 1L, "max_rounds"),
                 if (is.null(resamples)) NULL else whole_numbers(resamples, 1L, "resamples"),
                 if (is.null(seed)) NULL else seed_argument(seed), how)
  if (is.null(found)) {
    signal_interrupt()
  }
  if (is.character(found)) {
    stop(in_r_terms(found), call. = FALSE)
  }
  names(found) <- c("index", "type", "effect", "tstat", "critical_value", "tested", "rounds", "flags",
                    "excess_kurtosis", "kurtosis_p_value", "adjusted", "fit", "calibrated", "tail_dof",
                    "identification")
  index <- as.integer(found$index) + 1L
  outliers <- data.frame(index = index, time = calendar_times(x, index),
                         type = names(OUTLIER_TYPES)[match(found$type, OUTLIER_TYPES)], effect = found$effect,
                         tstat = found$tstat, stringsAsFactors = FALSE)
  adjusted <- x
  adjusted[] <- found$adjusted
  missing <- is.na(model$y)
  adjusted[missing] <- x[missing]  # the caller's own NA or NaN
  fit <- arima_object(found$fit, x, model$arma, series, call)
  result <- structure(list(
    outliers = outliers,
    critical_value = found$critical_value,
    tested = as.integer(found$tested),
    rounds = found$rounds,
    arma = fit$arma,
    fit = fit,
    identification = if (model$identify) {
      list(series = identification_frame(found$identification[[1L]]),
           adjusted = identification_frame(found$identification[[2L]]))
    },
    adjusted = adjusted,
    excess_kurtosis = found$excess_kurtosis,
    kurtosis_p_value = found$kurtosis_p_value,
    reached_bound = found$flags[1L],
    rounds_exhausted = found$flags[2L],
    short_series = found$flags[3L],
    heavy_tails = found$flags[4L],
    calibrated = found$calibrated,
    tail_dof = found$tail_dof,
    x = x,
    call = call
  ), class = "ljungcv_outliers")
  for (text in caution_texts(result)) warning(text, call. = FALSE)
  result
}

# The draws' seed: a whole number R holds exactly, 0 to 2^53.
seed_argument <- function(seed) {
  if (!is.numeric(seed) || length(seed) != 1L || is.na(seed) || seed != round(seed) || seed < 0 || seed > 2^53) {
    stop("'seed' must be a whole number from 0 to 2^53", call. = FALSE)
  }
  as.double(seed)
}

# What R does on Ctrl-C, once the core has stopped and freed what it held:
# handlers for "interrupt" conditions see it, then R returns to its top level.
signal_interrupt <- function() {
  signalCondition(structure(list(), class = c("interrupt", "condition")))
  invokeRestart("abort")
}

# The core's message with R's spelling of numbers: Inf and NA, not inf and nan.
in_r_terms <- function(message) {
  message <- gsub("-?\\bnan\\b", "NA", message, perl = TRUE)
  gsub("\\binf\\b", "Inf", message, perl = TRUE)
}

# Each position's time in the series' own calendar: "1975 Dec" for a
# monthly ts, "1975 Q4" for a quarterly one, "1975" for a yearly one,
# "1975 (3)" for another frequency's third cycle; the position itself
# when the series is not a ts.
calendar_times <- function(x, index) {
  if (!stats::is.ts(x) || length(index) == 0L) {
    return(as.character(index))
  }
  f <- stats::frequency(x)
  at <- stats::tsp(x)[1L] + (index - 1) / f
  year <- floor(at + getOption("ts.eps"))
  cycle <- round((at - year) * f) + 1
  if (f == 12) paste(year, month.abb[cycle])
  else if (f == 4) paste0(year, " Q", cycle)
  else if (f == 1) format(at)
  else paste0(year, " (", cycle, ")")
}

# "ARIMA(1,0,0)" or "ARIMA(0,1,1)(0,1,1)[12]", from the arma vector.
model_label <- function(arma) {
  label <- sprintf("ARIMA(%d,%d,%d)", arma[1L], arma[6L], arma[2L])
  if (any(arma[c(3L, 4L, 7L)] > 0L)) {
    label <- sprintf("%s(%d,%d,%d)[%d]", label, arma[3L], arma[7L], arma[4L], arma[5L])
  }
  label
}

# A sentence for each thing the core says the caller should know.
caution_texts <- function(result) {
  c(if (result$short_series) {
      gettextf("only %d residuals were tested: with so few, outliers are reported more often than alpha says",
               result$tested)
    },
    if (result$heavy_tails) {
      gettextf(paste("the residuals have heavy tails (excess kurtosis %s, p-value %s): the critical value,",
                     "which assumes normal residuals, is then too low ('resamples' calibrates it for them)"),
               format(result$excess_kurtosis, digits = 3L), format(result$kurtosis_p_value, digits = 2L))
    },
    if (result$reached_bound) {
      paste("the search stopped at the most outliers it takes for this many residuals:",
            "the model or the critical value does not suit the series")
    },
    if (result$rounds_exhausted) {
      gettextf("the last of %d rounds still found new outliers: a larger 'max_rounds' may find more", result$rounds)
    })
}

# What the series is called: the expression the call gave for it.
series_name <- function(object) {
  name <- if (is.null(object$call)) "" else paste(deparse(object$call$x, width.cutoff = 60L), collapse = " ")
  if (nzchar(name)) name else "the series"
}

print.ljungcv_outliers <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  count <- nrow(x$outliers)
  calibrated <- if (isTRUE(x$calibrated)) {
    sprintf(" (calibrated by resampling, t with %s degrees of freedom)", format(x$tail_dof, digits = 3L))
  } else ""
  cat(sprintf("%s: %d outlier%s among %d residuals tested, critical value %s%s, %d round%s\n", model_label(x$arma),
              count, if (count == 1L) "" else "s", x$tested, format(x$critical_value, digits = digits), calibrated,
              x$rounds, if (x$rounds == 1L) "" else "s"))
  if (count > 0L) print(x$outliers, digits = digits, row.names = FALSE)
  for (text in caution_texts(x)) cat("Note: ", text, "\n", sep = "")
  if (!is.null(x$identification)) {
    cat(identified_text(x$arma, x$identification$adjusted), " on the series adjusted for the outliers\n", sep = "")
  }
  invisible(x)
}

summary.ljungcv_outliers <- function(object, ...) {
  structure(list(outliers = object, fit = object$fit), class = "summary.ljungcv_outliers")
}

# "the outlier as regressor AO31", "outliers as regressors AO31 and LS81",
# "outliers as regressors AO12, LS40 and TC77", or "no outliers".
regressors_text <- function(names) {
  count <- length(names)
  if (count == 0L) return("no outliers")
  if (count == 1L) return(paste("the outlier as regressor", names))
  paste("outliers as regressors", paste(names[-count], collapse = ", "), "and", names[count])
}

print.summary.ljungcv_outliers <- function(x, ...) {
  print(x$outliers, ...)
  count <- nrow(x$outliers$outliers)
  names <- names(x$fit$coef)
  cat(sprintf("\nFinal model (%s):\n", regressors_text(names[length(names) - count + seq_len(count)])))
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
    main <- sprintf("%s: %s under %s, critical value %s", name,
                    if (count == 0L) "no outliers" else sprintf("%d outlier%s", count, if (count == 1L) "" else "s"),
                    model_label(x$arma), format(x$critical_value, digits = 4L))
  }
  if (is.null(ylab)) ylab <- name
  limits <- range(series, adjusted, na.rm = TRUE)
  limits[2L] <- limits[2L] + 0.2 * diff(limits)  # room for the legend above the series
  graphics::plot(series, main = main, xlab = xlab, ylab = ylab, col = "grey40", ylim = limits, ...)
  graphics::lines(adjusted, col = "blue", lwd = 2)
  if (count > 0L) {
    at <- as.double(stats::time(series))[o$index]
    graphics::points(at, as.double(series)[o$index], pch = 19, col = "red")
    graphics::text(at, as.double(series)[o$index], o$type, pos = 3, col = "red")
  }
  entries <- c("series", "adjusted (outlier effects removed)", if (count > 0L) "outlier, with its type")
  graphics::legend("topleft", legend = entries, col = c("grey40", "blue", "red")[seq_along(entries)],
                   lty = c(1, 1, NA)[seq_along(entries)], lwd = c(1, 2, NA)[seq_along(entries)],
                   pch = c(NA, NA, 19)[seq_along(entries)], bg = "white", inset = 0.01)
  invisible(x)
}
