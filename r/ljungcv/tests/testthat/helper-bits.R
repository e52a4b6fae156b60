# Two double vectors with the same bits at every position: NA is not NaN,
# -0 is not 0.
expect_same_bits <- function(actual, expected, label = "") {
  stopifnot(length(actual) == length(expected))
  differ <- which(colSums(matrix(writeBin(actual, raw()) != writeBin(expected, raw()), 8L)) > 0)
  first <- differ[1L]
  expect(length(differ) == 0L,
         sprintf("%s: %d of %d values differ, the first at %d: %.17g, expected %.17g", label, length(differ),
                 length(actual), first, actual[first], expected[first]))
  invisible(actual)
}

# The double nearest to a decimal text. R's reading of decimals may miss by
# an ulp, so of the three doubles around R's reading the one nearest to the
# text, measured on exact fixed-point expansions (glibc prints a double's
# exact digits; 60 fractional digits hold every double from 2^-8 to 2^53).
decimal_double <- function(text) {
  vapply(text, function(t) {
    if (startsWith(t, "-")) return(-decimal_double(substring(t, 2L)))
    y <- as.numeric(t)
    if (is.na(y) || grepl("[eE]", t) || abs(y) < 2^-8 || abs(y) >= 2^53) return(y)
    e <- floor(log2(abs(y)))
    if (2^e > abs(y)) e <- e - 1
    if (2^(e + 1) <= abs(y)) e <- e + 1
    ulp <- 2^(e - 52)
    candidates <- c(y - if (abs(y) == 2^e) ulp / 2 else ulp, y, y + ulp)
    candidates[which.min(abs(vapply(candidates, fixed_difference, 0, t)))]
  }, 0, USE.NAMES = FALSE)
}

# x minus the decimal text t, from their 60-digit fixed-point expansions in
# chunks of ten digits (each chunk's difference exact).
fixed_difference <- function(x, t) {
  parts <- function(s) {
    whole <- sub("\\..*$", "", s)
    fraction <- formatC(if (grepl(".", s, fixed = TRUE)) sub("^[^.]*\\.", "", s) else "", width = -60, flag = "-")
    fraction <- gsub(" ", "0", fraction, fixed = TRUE)
    c(as.numeric(whole), as.numeric(substring(fraction, seq(1, 51, 10), seq(10, 60, 10))))
  }
  sum((parts(sprintf("%.60f", x)) - parts(t)) * 10^(-10 * (0:6)))
}

hex <- function(text) as.numeric(text)  # R reads C99 hex doubles and "NaN" exactly

# Runs `long` (seconds of work whose stop hook is asked often) in a child
# process, sends it SIGINT after 0.3 s as a terminal does on Ctrl-C, and
# expects R's interrupt within a second; then `after` in the same child, to
# show the package works on, whose result must be `expected`.
expect_ctrl_c_stops <- function(long, after, expected) {
  job <- parallel::mcparallel({
    outcome <- tryCatch({
      long()
      "finished"
    }, interrupt = function(condition) "interrupted")
    list(outcome = outcome, stopped = Sys.time(), after = after())
  })
  Sys.sleep(0.3)
  sent <- Sys.time()
  tools::pskill(job$pid, tools::SIGINT)
  child <- parallel::mccollect(job)[[1L]]
  expect_identical(child$outcome, "interrupted")
  expect_lt(as.double(difftime(child$stopped, sent, units = "secs")), 1)
  expect_identical(child$after, expected)
}
