# The model that ljungcv_arima() fits and ljungcv_outliers() searches: the
# series, its orders and season, the regressors and the mean, read from R's
# arguments once, here, for the one C++ function that fills the C
# interface's fit options with them (model_options in src/ljungcv.cpp).

# list(y, orders, xreg, xreg_names, mean, arma): y the series as doubles
# (NA and NaN are missing values; the core refuses Inf, naming its position);
# orders p, d, q, P, D, Q, period as the fit options take them; xreg a
# column-major block and its names; mean -1 (one exactly when d + D = 0),
# 0 or 1; arma the model in R's arma order (p, q, P, Q, s, d, D), as R users read it.
model_arguments <- function(x, order, seasonal, xreg, include.mean) {
  if (!is.numeric(x) || is.matrix(x) && NCOL(x) != 1L) {
    stop("'x' must be one numeric series", call. = FALSE)
  }
  y <- as.double(x)
  order <- whole_numbers(order, 3L, "order")
  if (is.numeric(seasonal)) {
    seasonal <- list(order = seasonal)
  }
  if (!is.list(seasonal) || !all(names(seasonal) %in% c("order", "period"))) {
    stop("'seasonal' must be list(order = c(P, D, Q), period = s) or the order alone", call. = FALSE)
  }
  seasonal_order <- whole_numbers(if (is.null(seasonal$order)) c(0L, 0L, 0L) else seasonal$order, 3L,
                                  "seasonal$order")
  period <- seasonal$period
  if (is.null(period) || length(period) == 1L && is.na(period)) {
    period <- stats::frequency(x)
  }
  # Without a seasonal part the series' frequency is no part of the model: it
  # is not read (a ts of frequency 365.25 takes a non-seasonal model).
  engine_period <- if (all(seasonal_order == 0L)) 1L else whole_numbers(period, 1L, "seasonal$period")
  regressors <- regressor_matrix(xreg, length(y))
  list(y = y, orders = c(order, seasonal_order, engine_period), xreg = regressors$values,
       xreg_names = regressors$names, mean = mean_code(include.mean),
       arma = as.integer(c(order[1L], order[3L], seasonal_order[1L], seasonal_order[3L],
                           if (engine_period == 1L) period else engine_period, order[2L], seasonal_order[2L])))
}

# include.mean as the fit options' code: NA the default (-1), TRUE 1, FALSE 0.
mean_code <- function(include.mean) {
  if (!is.logical(include.mean) || length(include.mean) != 1L) {
    stop("'include.mean' must be TRUE, FALSE or NA (a mean exactly when d + D = 0)", call. = FALSE)
  }
  if (is.na(include.mean)) -1L else as.integer(include.mean)
}

whole_numbers <- function(x, count, name) {
  if (!is.numeric(x) || length(x) != count || anyNA(x) || any(x != round(x)) || any(abs(x) > .Machine$integer.max)) {
    stop(gettextf("'%s' must be %d whole number%s", name, count, if (count == 1L) "" else "s"), call. = FALSE)
  }
  as.integer(x)
}

# The regressors as one column-major block and their names (a single
# unnamed one is "xreg", several are "xreg1", "xreg2", ..., the names R users know).
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
