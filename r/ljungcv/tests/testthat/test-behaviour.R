test_that("n and alpha recycle as in R's arithmetic, keeping names", {
  n <- c(a = 1, b = 10, c = 100, d = 1000)
  alpha <- c(0.01, 0.05)
  one_by_one <- mapply(ljungcv, n, rep(alpha, 2))
  expect_identical(ljungcv(n, alpha), one_by_one)
  expect_identical(ljungcv(10, c(x = 0.01, y = 0.05)), c(x = ljungcv(10, 0.01), y = ljungcv(10, 0.05)))
  expect_identical(ljungcv(1:3, 0.05), ljungcv(c(1, 2, 3), 0.05))
  expect_identical(ljungcv(numeric(0), 0.05), numeric(0))
  expect_identical(ljungcv(10, numeric(0)), numeric(0))
})

test_that("counts are truncated toward zero", {
  expect_identical(ljungcv(c(25.9, 2.999), 0.05, "L"), ljungcv(c(25, 2), 0.05, "L"))
  expect_identical(ljungcv(0.9, 0.05), NA_real_)
})

test_that("NA and NaN arguments give NA without a warning, whatever the other argument", {
  expect_no_warning(values <- ljungcv(c(NA, NaN, 10, 10, NA), c(0.05, 0.2, NA, NaN, NA)))
  expect_identical(values, rep(NA_real_, 5))
  expect_identical(ljungcv(NA, 0.05), NA_real_)  # a logical NA
  expect_identical(ljungcv_table(c(NA, 10), 0.2)$status, c(NA, 120836L))
})

test_that("a rejected level gives NaN and one warning naming alpha", {
  warnings <- character(0)
  values <- withCallingHandlers(ljungcv(10, c(0.05, -0.01, 0.2, 0.1)),
                                warning = function(w) {
                                  warnings <<- c(warnings, conditionMessage(w))
                                  invokeRestart("muffleWarning")
                                })
  expect_identical(warnings, "NaNs produced: the module rejected argument 'alpha' (levels lie between 0 and 0.1)")
  expect_identical(values[2:3], c(NaN, NaN))
  expect_false(anyNA(values[c(1, 4)]))
})

test_that("an unknown method or wrong argument types are errors naming them", {
  expect_error(ljungcv(10, 0.05, "X"), "unknown method \"X\"")
  expect_error(ljungcv(10, 0.05, "CORREC"), "unknown method \"CORREC\"")
  expect_error(ljungcv(10, 0.05, c("C", "L")), "'method' must be a single text")
  expect_error(ljungcv(10, 0.05, NA_character_), "'method' must be a single text")
  expect_error(ljungcv("10", 0.05), "'n' must be numeric")
  expect_error(ljungcv(10, 0.05i), "'alpha' must be numeric")
  expect_error(ljungcv_table(10, 0.05, c("C", "Q")), "unknown method \"Q\"")
})

test_that("the table has every combination in order, with the host's statuses", {
  table <- ljungcv_table(n = c(1, 10), alpha = c(0, 0.05), method = c("L", "C"))
  expect_identical(names(table), c("n", "alpha", "method", "value", "status"))
  expect_identical(table$n, c(1, 1, 10, 10, 1, 1, 10, 10))
  expect_identical(table$alpha, rep(c(0, 0.05), 4))
  expect_identical(table$method, rep(c("L", "C"), each = 4))
  expect_identical(table$status, c(120833L, 120833L, 120833L, 0L, 120833L, 0L, 120833L, 0L))
  expect_identical(table$value[table$status == 0L],
                   c(ljungcv(10, 0.05, "L"), ljungcv(1, 0.05), ljungcv(10, 0.05)))
})

test_that("the module reports its image information and version record", {
  info <- ljungcv_info()
  expect_type(info, "list")
  expect_gt(length(info), 10)
  expect_true(all(nzchar(names(info))))
})
