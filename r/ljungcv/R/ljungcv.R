# LJUNGCV through the module: argument handling on R's side only; values,
# the level range, the method keywords, the verdict on a value and the
# stretches of a curve are the module's and the core's.

numeric_argument <- function(x, name) {
  if (!(is.numeric(x) || is.logical(x)) || is.complex(x)) {
    stop(gettextf("'%s' must be numeric", name), call. = FALSE)
  }
  as.double(x)
}

# The method texts, each checked once against the module's keywords.
method_argument <- function(method) {
  if (!is.character(method) || anyNA(method)) {
    stop("'method' must be texts without NA, \"C\" or \"L\"", call. = FALSE)
  }
  for (m in unique(method)) {
    if (!.Call(C_method_known, m)) {
      stop(gettextf("unknown method \"%s\": %s", m, .Call(C_method_rule)), call. = FALSE)
    }
  }
  as.vector(method)
}

ARGUMENT_NAMES <- c("n", "alpha", "method")

# " (levels lie between 0 and 0.1)": the range the function takes.
level_range_text <- function() {
  range <- .Call(C_level_range)
  gettextf(" (levels lie between %s and %s)", format(range[1L]), format(range[2L]))
}

# LJUNGCV(count[i], level[i], method[i]) for vectors of one length, one batch
# per method: list(value, status, rejected, range).
assess <- function(count, level, method, check) {
  if (length(unique(method)) <= 1L) {
    return(if (length(count) == 0L) list(numeric(0), integer(0), integer(0), if (check) integer(0))
           else .Call(C_assess, count, level, method[[1L]], check))
  }
  result <- list(numeric(length(count)), integer(length(count)), integer(length(count)),
                 if (check) integer(length(count)))
  for (m in unique(method)) {
    at <- which(method == m)
    part <- .Call(C_assess, count[at], level[at], m, check)
    for (k in seq_len(if (check) 4L else 3L)) result[[k]][at] <- part[[k]]
  }
  result
}

ljungcv <- function(n, alpha, method = "C", check = TRUE) {
  # "yes" or NA would otherwise turn the assessment off without a word.
  if (!isTRUE(check) && !isFALSE(check)) {
    stop("'check' must be TRUE or FALSE", call. = FALSE)
  }
  count <- numeric_argument(n, "n")
  level <- numeric_argument(alpha, "alpha")
  methods <- method_argument(method)
  lengths <- c(length(count), length(level), length(methods))
  if (any(lengths == 0L)) {
    return(numeric(0))
  }
  size <- max(lengths)
  result <- assess(rep_len(count, size), rep_len(level, size), rep_len(methods, size), check)
  rejected <- result[[3L]]
  first <- match(TRUE, rejected > 0L)
  if (!is.na(first)) {
    warning(gettextf("NaNs produced: the module rejected argument '%s'%s", ARGUMENT_NAMES[rejected[first]],
                     if (rejected[first] == 2L) level_range_text() else ""),
            call. = FALSE)
  }
  if (check) {
    outside <- sum(result[[4L]] > 0L, na.rm = TRUE)
    if (outside > 0L) {
      warning(sprintf(ngettext(outside,
                               "%d value lies outside its curve's sensible range: see ljungcv_limits()",
                               "%d values lie outside their curve's sensible range: see ljungcv_limits()"),
                      outside),
              call. = FALSE)
    }
  }
  value <- result[[1L]]
  # The attributes of the first argument of full length, as qnorm keeps them.
  for (argument in list(n, alpha, method)) {
    if (length(argument) == size) {
      attributes(value) <- attributes(argument)
      break
    }
  }
  value
}

ljungcv_table <- function(n = c(1, 2, 3, 5, 10, 20, 50, 100, 150, 200, 500, 1000, 10000),
                          alpha = c(0.05, 0.01, 0.1), method = "C") {
  count <- numeric_argument(n, "n")
  level <- numeric_argument(alpha, "alpha")
  method <- method_argument(method)
  grid <- expand.grid(alpha = level, n = count, method = method, KEEP.OUT.ATTRS = FALSE,
                      stringsAsFactors = FALSE)
  result <- assess(grid$n, grid$alpha, grid$method, TRUE)
  status <- result[[2L]]
  turned_down <- result[[4L]] > 0L
  turned_down[is.na(status) | status != 0L] <- NA  # no value, no verdict
  data.frame(n = grid$n, alpha = grid$alpha, method = grid$method, value = result[[1L]],
             status = status, turned_down = turned_down, stringsAsFactors = FALSE)
}

ljungcv_limits <- function(method = "C", alpha = 0.05) {
  method <- method_argument(method)
  level <- numeric_argument(alpha, "alpha")
  pairs <- expand.grid(alpha = level, method = method, KEEP.OUT.ATTRS = FALSE, stringsAsFactors = FALSE)
  rows <- lapply(seq_len(nrow(pairs)), function(i) {
    stretches <- .Call(C_limits, pairs$method[i], pairs$alpha[i])
    if (is.null(stretches)) {
      stop(gettextf("the module rejects alpha = %s%s", format(pairs$alpha[i], digits = 17), level_range_text()),
           call. = FALSE)
    }
    data.frame(method = rep(pairs$method[i], length(stretches[[1L]])),
               alpha = rep(pairs$alpha[i], length(stretches[[1L]])),
               from_n = stretches[[1L]], to_n = stretches[[2L]], range = stretches[[4L]],
               stringsAsFactors = FALSE)
  })
  empty <- data.frame(method = character(0), alpha = numeric(0), from_n = numeric(0), to_n = numeric(0),
                      range = character(0), stringsAsFactors = FALSE)
  do.call(rbind, c(list(empty), rows, list(make.row.names = FALSE)))
}

REACH_NAMES <- c("crosses", "from_start", "never")  # the interface's CVHOST_REACH_* codes 0, 1, 2

ljungcv_reach <- function(threshold, alpha = c(0.1, 0.05, 0.01, 0.001), method = c("C", "L")) {
  value <- numeric_argument(threshold, "threshold")
  if (anyNA(value)) {
    stop("'threshold' must be numbers without NA or NaN", call. = FALSE)
  }
  method <- method_argument(method)
  level <- numeric_argument(alpha, "alpha")
  cases <- expand.grid(alpha = level, method = method, threshold = value, KEEP.OUT.ATTRS = FALSE,
                       stringsAsFactors = FALSE)
  rows <- lapply(seq_len(nrow(cases)), function(i) {
    found <- .Call(C_reach, cases$method[i], cases$alpha[i], cases$threshold[i])
    if (is.null(found)) {
      stop(gettextf("the module rejects alpha = %s%s", format(cases$alpha[i], digits = 17), level_range_text()),
           call. = FALSE)
    }
    data.frame(threshold = cases$threshold[i], method = cases$method[i], alpha = cases$alpha[i],
               reach = REACH_NAMES[found[[1L]] + 1L], n = found[[2L]], value = found[[3L]],
               value_before = found[[4L]], outside_n = found[[5L]], note = found[[6L]], stringsAsFactors = FALSE)
  })
  empty <- data.frame(threshold = numeric(0), method = character(0), alpha = numeric(0), reach = character(0),
                      n = numeric(0), value = numeric(0), value_before = numeric(0), outside_n = numeric(0),
                      note = character(0), stringsAsFactors = FALSE)
  do.call(rbind, c(list(empty), rows, list(make.row.names = FALSE)))
}

# Fields that repeat ("descriptor", "function") become one character vector.
ljungcv_info <- function() {
  fields <- .Call(C_info_fields)
  names <- unique(fields[[1L]])
  info <- lapply(names, function(name) fields[[2L]][fields[[1L]] == name])
  names(info) <- names
  structure(info, class = "ljungcv_info")
}

print.ljungcv_info <- function(x, ...) {
  names <- rep(names(x), lengths(x))
  cat(paste0(format(paste0(names, ":")), " ", unlist(x, use.names = FALSE)), sep = "\n")
  invisible(x)
}
