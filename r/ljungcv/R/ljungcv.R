# LJUNGCV through the module: argument handling on R's side only; values,
# the level range, the method keywords and every decision about a value are
# the module's.

numeric_argument <- function(x, name) {
  if (!(is.numeric(x) || is.logical(x)) || is.complex(x)) {
    stop(gettextf("'%s' must be numeric", name), call. = FALSE)
  }
  as.double(x)
}

known_method <- function(method) {
  if (!is.character(method) || length(method) != 1L || is.na(method)) {
    stop("'method' must be a single text, \"C\" or \"L\"", call. = FALSE)
  }
  if (.Call(C_method_rejected, method) == 3L) {
    stop(gettextf("unknown method \"%s\": the methods are \"C\" (corrected) and \"L\" (Ljung's asymptotic)",
                  method), call. = FALSE)
  }
  method
}

ARGUMENT_NAMES <- c("n", "alpha", "method")

ljungcv <- function(n, alpha, method = "C") {
  method <- known_method(method)
  count <- numeric_argument(n, "n")
  level <- numeric_argument(alpha, "alpha")
  result <- .Call(C_evaluate, count, level, method)
  if (result[[3L]] > 0L) {
    warning(gettextf("NaNs produced: the module rejected argument '%s'%s", ARGUMENT_NAMES[result[[3L]]],
                     if (result[[3L]] == 2L) " (levels lie between 0 and 0.1)" else ""),
            call. = FALSE)
  }
  value <- result[[1L]]
  if (length(count) == length(value)) {
    names(value) <- names(n)
  } else if (length(level) == length(value)) {
    names(value) <- names(alpha)
  }
  value
}

ljungcv_table <- function(n = c(1, 2, 3, 5, 10, 20, 50, 100, 150, 200, 500, 1000, 10000),
                          alpha = c(0.05, 0.01, 0.1), method = "C") {
  count <- numeric_argument(n, "n")
  level <- numeric_argument(alpha, "alpha")
  if (!is.character(method)) {
    stop("'method' must be texts, \"C\" or \"L\"", call. = FALSE)
  }
  rows <- lapply(method, function(m) {
    known_method(m)
    grid <- expand.grid(alpha = level, n = count, KEEP.OUT.ATTRS = FALSE)
    result <- .Call(C_evaluate, grid$n, grid$alpha, m)
    data.frame(n = grid$n, alpha = grid$alpha, method = rep(m, nrow(grid)), value = result[[1L]],
               status = result[[2L]], stringsAsFactors = FALSE)
  })
  do.call(rbind, c(rows, list(make.row.names = FALSE)))
}

ljungcv_info <- function() {
  lines <- strsplit(.Call(C_module_info), "\n", fixed = TRUE)[[1L]]
  fields <- regmatches(lines, regexec("^([^:]+): ?(.*)$", lines))
  fields <- fields[lengths(fields) == 3L]
  values <- lapply(fields, `[[`, 3L)
  names(values) <- vapply(fields, `[[`, "", 2L)
  values
}

# The prefix of the kit the package was built against; its bin/ljungcv
# loads the same module file.
kit_prefix <- function() .Call(C_kit_prefix)
