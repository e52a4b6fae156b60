# Many series under one model: one call of the C interface
# (cvhost_find_outliers_batch, on a pool of threads). This file reads the
# series out of a matrix, a list or a long data frame, and gives each its
# rows as ljungcv_outliers() gives them for that series alone: the outliers
# with the series' own times, and a status row that says what became of it.

# The C interface's CVHOST_STATUS_* codes, named by its cvhost_status_text (as Python's screen names them).
SCREEN_STATUS <- c("ok" = 0L, "no result" = 120833L, "invalid argument" = 120836L)

ljungcv_screen <- function(x, order = "auto", seasonal = list(period = NA), include.mean = NA, alpha = NULL,
                           method = NULL, types = NULL, delta = NULL, critical_value = NULL, max_rounds = NULL,
                           resamples = NULL, seed = NULL, workers = NULL, id = "id", time = "time", value = "value",
                           identify = NULL) {
  if (missing(order)) {
    order <- default_order(seasonal, !missing(include.mean))
  }
  if (!is.data.frame(x) && !(missing(id) && missing(time) && missing(value))) {
    stop("'id', 'time' and 'value' name the columns of a long data frame, and 'x' is not one", call. = FALSE)
  }
  input <- if (is.data.frame(x)) long_series(x, id, time, value) else if (is.list(x)) listed_series(x)
           else if (is.numeric(x) && is.matrix(x)) column_series(x)
           else stop("'x' must be a matrix or mts (a series per column), a list of series, or a data frame ",
                     "with a row per value", call. = FALSE)
  model <- screen_model(input$frequencies, order, seasonal, include.mean)
  options <- procedure_arguments(types, delta, alpha, method, critical_value, max_rounds, resamples, seed)
  found <- .Call(C_screen_outliers, input$values, model$orders, model$mean, options$types, options$delta,
                 options$alpha, options$method, options$critical_value, options$max_rounds, options$resamples,
                 options$seed, worker_count(workers), identify_arguments(identify, model))
  if (is.null(found)) {
    signal_interrupt()
  }
  if (is.character(found)) {
    stop(in_r_terms(found), call. = FALSE)
  }
  names(found) <- c("status", "message", "tested", "critical_value", "flags", "found", "index", "type", "effect",
                    "tstat", "order")
  owner <- rep(seq_along(input$ids), ifelse(is.na(found$found), 0L, found$found))
  index <- as.integer(found$index) + 1L
  outliers <- data.frame(series = input$ids[owner], stringsAsFactors = FALSE)
  outliers$time <- input$times(owner, index)
  outliers$type <- names(OUTLIER_TYPES)[match(found$type, OUTLIER_TYPES)]
  outliers$effect <- found$effect
  outliers$t <- found$tstat
  flags <- found$flags  # the columns: reached bound, rounds exhausted, short series, heavy tails
  status <- data.frame(series = input$ids, status = names(SCREEN_STATUS)[match(found$status, SCREEN_STATUS)],
                       message = in_r_terms(found$message), n = lengths(input$values), tested = as.integer(found$tested),
                       count = found$found, critical_value = found$critical_value, short_series = flags[, 3L],
                       heavy_tails = flags[, 4L], reached_bound = flags[, 1L], rounds_exhausted = flags[, 2L],
                       stringsAsFactors = FALSE)
  if (model$identify) {
    # Each series' own model, as ljungcv_outliers() labels it; NA where it has no result.
    status$model <- vapply(seq_len(ncol(found$order)), function(j) {
      order <- found$order[, j]
      if (anyNA(order)) NA_character_ else model_label(arma_of(order))
    }, "")
  }
  structure(list(outliers = outliers, status = status), class = "ljungcv_screen")
}

# list(ids, values, frequencies, times): the series' ids, their values as
# doubles, their frequencies, and times(series, index), the time of each
# (series, 1-based position) pair in the series' own calendar.
column_series <- function(x) {
  ids <- colnames(x)
  if (is.null(ids)) ids <- seq_len(ncol(x))
  list(ids = ids, values = lapply(seq_len(ncol(x)), function(j) as.double(x[, j])),
       frequencies = stats::frequency(x), times = function(series, index) calendar_times(x, index))
}

listed_series <- function(x) {
  ids <- names(x)
  if (is.null(ids)) {
    ids <- seq_along(x)
  } else if (anyNA(ids) || !all(nzchar(ids))) {
    stop("the series of 'x' must all be named (their ids), or none", call. = FALSE)
  }
  one <- vapply(x, function(s) is.numeric(s) && NCOL(s) == 1L, logical(1))
  if (!all(one)) {
    stop(gettextf("series %s of 'x' is not one numeric series", quoted(as.character(ids[!one][1L]))), call. = FALSE)
  }
  list(ids = ids, values = unname(lapply(x, as.double)), frequencies = vapply(x, stats::frequency, 0),
       times = function(series, index) {
         times <- character(length(series))
         for (rows in split(seq_along(series), series)) {
           times[rows] <- calendar_times(x[[series[rows[1L]]]], index[rows])
         }
         times
       })
}

long_series <- function(x, id, time, value) {
  columns <- list(id = id, time = time, value = value)
  for (argument in names(columns)) {
    column <- columns[[argument]]
    if (!is.character(column) || length(column) != 1L || is.na(column)) {
      stop(gettextf("'%s' must be a single column name", argument), call. = FALSE)
    }
    if (!column %in% names(x)) {
      stop(gettextf("'x' has no column %s (its '%s' column)", quoted(column), argument), call. = FALSE)
    }
  }
  ids <- x[[id]]
  times <- x[[time]]
  if (!is.numeric(x[[value]])) {
    stop(gettextf("the value column %s must be numeric", quoted(value)), call. = FALSE)
  }
  if (anyNA(ids)) {
    stop(gettextf("the id column %s has a missing id, at row %d", quoted(id), which(is.na(ids))[1L]), call. = FALSE)
  }
  keys <- unique(ids)
  rows <- split(seq_len(nrow(x)), factor(match(ids, keys), levels = seq_along(keys)))
  # Times of numbers or dates must rise within a series (the rows are taken
  # in their order); texts are labels, taken as they come.
  if (!is.character(times) && !is.factor(times)) {
    for (k in seq_along(rows)) {
      if (anyNA(times[rows[[k]]]) || is.unsorted(times[rows[[k]]], strictly = TRUE)) {
        stop(gettextf("the times of series %s do not rise from row to row: give its rows in time order, each time once",
                      quoted(as.character(keys[k]))), call. = FALSE)
      }
    }
  }
  values <- as.double(x[[value]])
  starts <- c(0L, cumsum(lengths(rows)))
  ordered_rows <- unlist(rows, use.names = FALSE)
  list(ids = keys, values = unname(lapply(rows, function(r) values[r])), frequencies = 1,
       times = function(series, index) times[ordered_rows[starts[series] + index]])
}

# The one model of the batch, read as ljungcv_outliers() reads it (with
# order "auto", the period each series' model is identified with); the
# series' frequencies must give it one period.
screen_model <- function(frequencies, order, seasonal, include.mean) {
  distinct <- unique(c(frequencies, if (length(frequencies) == 0L) 1))
  models <- lapply(distinct, function(f) model_arguments(stats::ts(0, frequency = f), order, seasonal, NULL,
                                                         include.mean))
  periods <- vapply(models, function(m) m$orders[7L], 0L)
  if (length(unique(periods)) > 1L) {
    stop(gettextf(paste("the series have frequencies %s, which give the seasonal model different periods:",
                        "give seasonal$period, or series of one frequency"), paste(distinct, collapse = ", ")),
         call. = FALSE)
  }
  models[[1L]]
}

# The procedure's options as the C++ side reads them (NULL: the core's
# default), checked as ljungcv_outliers() checks them.
procedure_arguments <- function(types, delta, alpha, method, critical_value, max_rounds, resamples, seed) {
  if (!is.null(method)) {
    method <- method_argument(method)
    if (length(method) != 1L) stop("'method' must be a single text", call. = FALSE)
  }
  number <- function(value, name) if (is.null(value)) NULL else single_number(value, name)
  list(types = if (is.null(types)) NULL else sum(unique(outlier_type_codes(types))),
       delta = number(delta, "delta"), alpha = number(alpha, "alpha"), method = method,
       critical_value = number(critical_value, "critical_value"),
       max_rounds = if (is.null(max_rounds)) NULL else whole_numbers(max_rounds, 1L, "max_rounds"),
       resamples = if (is.null(resamples)) NULL else whole_numbers(resamples, 1L, "resamples"),
       seed = if (is.null(seed)) NULL else seed_argument(seed))
}

# NULL or 0: a thread per core; the core says how many it takes at most.
worker_count <- function(workers) {
  if (is.null(workers)) return(0L)
  count <- whole_numbers(workers, 1L, "workers")
  if (count < 0L) stop("'workers' must be a whole number, 0 or more", call. = FALSE)
  count
}

SHOWN_ROWS <- 20L  # of the outliers and of the failed series, in print()

print.ljungcv_screen <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  s <- x$status
  ok <- s$status == "ok"
  count <- nrow(x$outliers)
  cat(sprintf("%d series screened, %d with a result, %d outlier%s found\n", nrow(s), sum(ok), count,
              if (count == 1L) "" else "s"))
  if (count > 0L) print(x$outliers[seq_len(min(count, SHOWN_ROWS)), , drop = FALSE], digits = digits, row.names = FALSE)
  if (count > SHOWN_ROWS) cat(sprintf("... and %d more in $outliers\n", count - SHOWN_ROWS))
  failed <- which(!ok)
  if (length(failed) > 0L) {
    cat(sprintf("No result for %d series:\n", length(failed)))
    shown <- failed[seq_len(min(length(failed), SHOWN_ROWS))]
    cat(sprintf("  %s: %s\n", s$series[shown], s$message[shown]), sep = "")
    if (length(failed) > SHOWN_ROWS) cat(sprintf("  ... and %d more in $status\n", length(failed) - SHOWN_ROWS))
  }
  cautions <- c(short_series = "few residuals tested", heavy_tails = "heavy tails",
                reached_bound = "search stopped at its bound", rounds_exhausted = "rounds exhausted")
  for (flag in names(cautions)) {
    marked <- which(s[[flag]] %in% TRUE)
    if (length(marked) > 0L) {
      cat(sprintf("Note: %s in %d series (status$%s)\n", cautions[[flag]], length(marked), flag))
    }
  }
  invisible(x)
}
