# The model that ljungcv_arima() fits and ljungcv_outliers() searches: the
# series, its orders and season, the regressors and the mean, read from R's
# arguments once, here, for the one C++ function that fills the C
# interface's fit options with them (model_options in src/ljungcv.cpp).

# list(y, orders, xreg, xreg_names, mean, arma, identify): y the series as
# doubles (NA and NaN are missing values; the core refuses Inf, naming its
# position); orders p, d, q, P, D, Q, period as the fit options take them;
# xreg a column-major block and its names; mean -1 (one exactly when
# d + D = 0), 0 or 1; arma the model in R's arma order (p, q, P, Q, s, d, D),
# as R users read it; identify FALSE. With order "auto", see auto_model.
model_arguments <- function(x, order, seasonal, xreg, include.mean) {
  if (!is.numeric(x) || is.matrix(x) && NCOL(x) != 1L) {
    stop("'x' must be one numeric series", call. = FALSE)
  }
  y <- as.double(x)
  if (identical(order, "auto")) {
    return(auto_model(x, y, seasonal, xreg, include.mean))
  }
  if (is.character(order)) {
    stop("'order' must be 3 whole numbers or \"auto\"", call. = FALSE)
  }
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
                           if (engine_period == 1L) period else engine_period, order[2L], seasonal_order[2L])),
       identify = FALSE)
}

# The model with order "auto": the identification chooses the orders and the
# constant, so a seasonal order or include.mean given with it is an error;
# the period is seasonal$period, else the series' frequency where that is a
# whole number (a ts of frequency 365.25 takes a non-seasonal model), else 1.
# arma is NULL: the fit says which model was chosen.
auto_model <- function(x, y, seasonal, xreg, include.mean) {
  if (is.numeric(seasonal) || is.list(seasonal) && !is.null(seasonal$order)) {
    stop(paste("'seasonal' gives a seasonal order, which order = \"auto\" chooses itself:",
               "give seasonal = list(period = s) alone, or an order of your own"), call. = FALSE)
  }
  if (!is.list(seasonal) || !all(names(seasonal) %in% "period")) {
    stop("'seasonal' must be list(period = s) with order = \"auto\"", call. = FALSE)
  }
  if (!identical(include.mean, NA)) {
    stop(paste("'include.mean' cannot be given with order = \"auto\", which chooses the constant itself:",
               "give an order of your own"), call. = FALSE)
  }
  period <- seasonal$period
  if (is.null(period) || length(period) == 1L && is.na(period)) {
    f <- stats::frequency(x)
    period <- if (f == round(f)) f else 1L
  }
  regressors <- regressor_matrix(xreg, length(y))
  list(y = y, orders = c(rep(0L, 6L), whole_numbers(period, 1L, "seasonal$period")), xreg = regressors$values,
       xreg_names = regressors$names, mean = -1L, arma = NULL, identify = TRUE)
}

# The order a call means when it gives none: "auto", unless it gives what
# only a model of its own takes (a seasonal order, or a constant through
# `constant_given`), which kept its old meaning, the order (0, 0, 0).
default_order <- function(seasonal, constant_given) {
  own_model <- constant_given || is.numeric(seasonal) || is.list(seasonal) && !is.null(seasonal$order)
  if (own_model) c(0L, 0L, 0L) else "auto"
}

IDENTIFY_FIELDS <- c("d", "D", "max_p", "max_q", "max_P", "max_Q", "stepwise", "max_order", "allow_constant",
                     "max_models")

# The identification's bounds as the C++ side reads them (identify_options
# in src/ljungcv.cpp): ten whole numbers, NA for the core's default; NULL
# when the model is given. stepwise and allow_constant may be TRUE or FALSE.
# The core checks the ranges.
identify_arguments <- function(identify, model) {
  if (!model$identify) {
    if (!is.null(identify)) {
      stop("'identify' bounds the search of order = \"auto\", and the order is given", call. = FALSE)
    }
    return(NULL)
  }
  if (is.null(identify)) identify <- list()
  named <- names(identify)
  if (!is.list(identify) || length(identify) > 0L && (is.null(named) || !all(named %in% IDENTIFY_FIELDS))) {
    stop(gettextf("'identify' must be a list with any of %s", paste(IDENTIFY_FIELDS, collapse = ", ")),
         call. = FALSE)
  }
  values <- rep(NA_integer_, length(IDENTIFY_FIELDS))
  for (name in named) {
    value <- identify[[name]]
    if (is.logical(value) && name %in% c("stepwise", "allow_constant")) value <- as.integer(value)
    values[match(name, IDENTIFY_FIELDS)] <- whole_numbers(value, 1L, paste0("identify$", name))
  }
  values
}

# The candidates of an identification (identification_fields in
# src/ljungcv.cpp) as a data frame, one row per candidate in the order
# tried: p, d, q, P, D, Q, constant, aicc, outcome, reason. Its attributes
# say which model was chosen (arma, as the fit's) and why the differencing is
# what it is: seasonal_strength, kpss (statistic and p-value of each test)
# and bound_reached (the search stopped at max_models). NULL for NULL.
identification_frame <- function(fields) {
  if (is.null(fields)) return(NULL)
  names(fields) <- c("order", "orders", "constants", "aicc", "outcome", "reason", "seasonal_strength",
                     "kpss_statistics", "kpss_p_values", "bound_reached")
  orders <- matrix(fields$orders, ncol = 6L, byrow = TRUE, dimnames = list(NULL, c("p", "d", "q", "P", "D", "Q")))
  frame <- data.frame(orders, constant = fields$constants == 1L, aicc = fields$aicc, outcome = fields$outcome,
                      reason = fields$reason, stringsAsFactors = FALSE)
  attr(frame, "arma") <- arma_of(fields$order)
  attr(frame, "seasonal_strength") <- fields$seasonal_strength
  attr(frame, "kpss") <- data.frame(statistic = fields$kpss_statistics, p_value = fields$kpss_p_values)
  attr(frame, "bound_reached") <- fields$bound_reached
  frame
}

# The fit's order (p, d, q, P, D, Q, period) in R's arma order (p, q, P, Q, s, d, D).
arma_of <- function(order) as.integer(order[c(1L, 3L, 4L, 6L, 7L, 2L, 5L)])

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
