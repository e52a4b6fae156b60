# The module's values through R and through `ljungcv eval` of the kit the
# package was built against (the same module file), on one grid: both
# methods in several spellings, edge counts and levels, values that do not
# exist and levels the module rejects.

grid_counts <- c(-2^31 - 1, -2^31, -5, -1.5, -0, 0, 0.9, 1, 1.5, 2, 2.9, 3, 5, 7, 10, 14, 25.9, 99, 100,
                 101, 199, 200, 201, 461, 1000, 1e4, 75600, 3e6, 2^31 - 1, 2^31, 1e300, Inf, -Inf)
grid_levels <- c(-Inf, -1e-300, -0, 0, 5e-324, 1e-16, 2e-16, 3.3e-16, 4e-16, 1e-3, 0.01, 0.05,
                 0.09999999999999999, 0.1, 0.10000000000000002, 0.2, Inf)

eval_text <- function(x) {
  ifelse(is.infinite(x), ifelse(x > 0, "inf", "-inf"), sprintf("%.17g", x))
}

# `ljungcv eval` on the lines "n alpha method": the printed values, and the
# statuses as integers.
ljungcv_eval <- function(n, alpha, method) {
  command <- file.path(ljungcv:::kit_prefix(), "bin", "ljungcv")
  input <- tempfile()
  on.exit(unlink(input))
  writeLines(paste(eval_text(n), eval_text(alpha), method), input)
  output <- system2(command, "eval", stdin = input, stdout = TRUE)
  expect_null(attr(output, "status"))
  rows <- read.csv(text = output, colClasses = "character")
  list(value = rows$value, status = as.integer(rows$status))
}

test_that("every value is the double ljungcv eval prints, and every status the same", {
  set.seed(16)
  points <- rbind(expand.grid(n = grid_counts, alpha = grid_levels),
                  data.frame(n = floor(runif(3000, 1, 1e6)), alpha = runif(3000, 0, 0.1)),
                  data.frame(n = runif(1000, -2, 1e4), alpha = runif(1000, -0.01, 0.11)))
  for (method in c("C", "L", "ljung", "corr", "CORRECTED")) {
    printed <- ljungcv_eval(points$n, points$alpha, method)
    expected <- as.numeric(printed$value)
    expected[printed$status == 120836L] <- NaN
    expect_warning(values <- ljungcv(points$n, points$alpha, method), "argument 'alpha'")
    expect_same_bits(values, expected, paste("method", method))
    # The table runs through alpha within n; the grid above through n within alpha.
    table <- ljungcv_table(grid_counts, grid_levels, method)
    in_table_order <- as.vector(t(matrix(seq_len(nrow(table)), length(grid_counts))))
    expect_identical(table$status, printed$status[in_table_order])
    expect_same_bits(table$value, expected[in_table_order], paste("table, method", method))
  }
})

test_that("the documented examples give their values", {
  expect_identical(ljungcv(10, 0.05), 3.087110344600084)
  expect_identical(ljungcv(100, 0.05, method = "L"), 3.8100875719839755)
  expect_identical(format(ljungcv(10, 0.05), digits = 17), "3.087110344600084")
})
