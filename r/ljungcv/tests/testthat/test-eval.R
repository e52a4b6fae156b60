# The package against the `ljungcv` command of a native build (its path in
# LJUNGCV_COMMAND, which scripts/test-r.sh sets): one grid of counts and
# levels around the points where the curves turn down, with edge cases, both
# methods. Value bits, status and verdict as `eval` prints them; stretches as
# `limits` lists them.

command <- Sys.getenv("LJUNGCV_COMMAND")

grid_counts <- c(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14, 15, 19, 20, 39, 40, 41, 117, 118, 119, 152, 153, 154,
                 460, 461, 462, 5037, 5038, 75599, 75600, 166727, 166728, 337413, 337414, 1383169, 1383170, 1e6,
                 -1, 0, 0.9, 2.9, 2^31 - 1, 2^31, Inf)
grid_levels <- c(1e-6, 1e-4, 0.001, 0.005, 0.01, 0.025, 0.05, 0.1, 0.0999, 0, 5e-324, -0.01, 0.2,
                 0.10000000000000002)
grid_methods <- c("C", "L", " ljung")

eval_text <- function(x) ifelse(is.infinite(x), ifelse(x > 0, "inf", "-inf"), sprintf("%.17g", x))

run_command <- function(arguments, input = NULL) {
  output <- system2(command, arguments, stdin = if (is.null(input)) "" else input, stdout = TRUE)
  expect_null(attr(output, "status"))
  output
}

test_that("ljungcv_table gives eval's value bits, status and verdict on the grid", {
  skip_if(command == "", "LJUNGCV_COMMAND is not set")
  table <- ljungcv_table(grid_counts, grid_levels, grid_methods)
  input <- tempfile()
  on.exit(unlink(input))
  # The package truncates a fractional count, as the function does; the
  # command refuses one, so it is asked at the truncated count.
  writeLines(paste(eval_text(trunc(table$n)), eval_text(table$alpha), sprintf("\"%s\"", table$method)), input)
  printed <- read.csv(text = run_command(c("eval", "--format", "csv"), input), colClasses = "character")
  status <- as.integer(printed$status)
  expected <- decimal_double(printed$value)
  expected[status == 120836L] <- NaN
  expect_identical(table$status, status)
  expect_same_bits(table$value, expected, "table")
  expect_identical(table$turned_down, as.logical(as.integer(printed$turned_down)))
  expect_gt(sum(table$turned_down, na.rm = TRUE), 20)
  values <- suppressWarnings(ljungcv(table$n, table$alpha, table$method))
  expect_same_bits(values, expected, "ljungcv")
})

test_that("ljungcv_limits gives the stretches limits lists", {
  skip_if(command == "", "LJUNGCV_COMMAND is not set")
  levels <- grid_levels[grid_levels > 0 & grid_levels <= 0.1]
  for (method in c("C", "L")) {
    listed <- run_command(c("limits", "--method", method, "--alpha", paste(sprintf("%.17g", levels), collapse = ",")))
    fields <- regmatches(listed, regexec("^(\\S+)\\s+(\\S+)\\s+(\\d+)\\s+(\\d+)\\s+(.+)$", listed))[-1L]
    limits <- ljungcv_limits(method, levels)
    expect_identical(limits$from_n, as.numeric(vapply(fields, `[[`, "", 4L)))
    expect_identical(limits$to_n, as.numeric(vapply(fields, `[[`, "", 5L)))
    expect_identical(limits$range, vapply(fields, `[[`, "", 6L))
    expect_equal(limits$alpha, as.numeric(vapply(fields, `[[`, "", 3L)), tolerance = 1e-15)
    expect_identical(limits$method, vapply(fields, `[[`, "", 2L))
  }
})

test_that("ljungcv_reach gives what reach prints, and its crossings are where the values pass", {
  skip_if(command == "", "LJUNGCV_COMMAND is not set")
  thresholds <- c(1.9, 3.5, 4.9, 6)
  levels <- c(0.1, 0.05, 0.001, 1e-6)
  printed <- read.csv(text = run_command(c("reach", paste(thresholds, collapse = ","), "--method", "both",
                                           "--alpha", paste(sprintf("%.17g", levels), collapse = ","),
                                           "--format", "csv")),
                      colClasses = "character")
  found <- ljungcv_reach(thresholds, levels, c("C", "L"))
  expect_identical(found$reach, printed$reach)
  expect_identical(found$method, printed$method)
  expect_identical(found$n, as.numeric(ifelse(printed$n == "", NA, printed$n)))
  expect_same_bits(found$value, decimal_double(printed$value), "value")
  expect_same_bits(found$value_before, decimal_double(printed$value_before), "value_before")
  expect_identical(found$outside_n, as.numeric(ifelse(printed$outside_n == "", NA, printed$outside_n)))
  expect_setequal(found$reach, c("crosses", "from_start", "never"))
  crossing <- found[found$reach == "crosses", ]
  at_n <- ljungcv(crossing$n, crossing$alpha, crossing$method, check = FALSE)
  before <- ljungcv(crossing$n - 1, crossing$alpha, crossing$method, check = FALSE)
  expect_true(all(at_n >= crossing$threshold & before < crossing$threshold))
  expect_match(found$note[found$reach == "never"][1L], "stays below")
  expect_error(ljungcv_reach(3.5, 0.2), "rejects alpha = 0.2")
  expect_error(ljungcv_reach(NaN), "'threshold' must be numbers")
})
