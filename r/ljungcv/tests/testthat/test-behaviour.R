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
  expect_error(ljungcv(10, 0.05, c("C", NA)), "'method' must be texts without NA")
  expect_error(ljungcv(10, 0.05, 1), "'method' must be texts")
  expect_error(ljungcv("10", 0.05), "'n' must be numeric")
  expect_error(ljungcv(10, 0.05i), "'alpha' must be numeric")
  expect_error(ljungcv_table(10, 0.05, c("C", "Q")), "unknown method \"Q\"")
})

test_that("check takes TRUE or FALSE only", {
  for (check in list("yes", NA, 1, c(TRUE, TRUE), NULL, "FALSE")) {
    expect_error(ljungcv(10, 0.05, check = check), "'check' must be TRUE or FALSE")
  }
  expect_identical(ljungcv(10, 0.05, check = FALSE), ljungcv(10, 0.05, check = TRUE))
})

test_that("the table has every combination in order, with the host's statuses and verdicts", {
  table <- ljungcv_table(n = c(1, 10), alpha = c(0, 0.05), method = c("L", "C"))
  expect_identical(names(table), c("n", "alpha", "method", "value", "status", "turned_down"))
  expect_identical(table$n, c(1, 1, 10, 10, 1, 1, 10, 10))
  expect_identical(table$alpha, rep(c(0, 0.05), 4))
  expect_identical(table$method, rep(c("L", "C"), each = 4))
  expect_identical(table$status, c(120833L, 120833L, 120833L, 0L, 120833L, 0L, 120833L, 0L))
  expect_identical(table$turned_down, ifelse(table$status == 0L, FALSE, NA))
  expect_identical(table$value[table$status == 0L],
                   c(ljungcv(10, 0.05, "L"), ljungcv(1, 0.05), ljungcv(10, 0.05)))
  for (empty in list(ljungcv_table(method = character(0)), ljungcv_table(n = numeric(0)))) {
    expect_identical(nrow(empty), 0L)
    expect_identical(names(empty), names(table))
  }
})

test_that("results keep the attributes of the first argument of full length, as qnorm does", {
  shapes <- list(named = c(a = 10, b = 100), matrix = matrix(c(10, 20, 50, 100), 2,
                                                             dimnames = list(c("x", "y"), NULL)),
                 series = ts(c(5, 10, 20, 40), start = 1990))
  for (shape in names(shapes)) {
    n <- shapes[[shape]]
    expect_identical(attributes(ljungcv(n, 0.05)), attributes(qnorm(n / 1000)), label = shape)
    expect_identical(attributes(ljungcv(10, n / 1000)), attributes(n), label = shape)
  }
  # n is shorter than alpha: alpha's attributes.
  expect_identical(names(ljungcv(c(a = 10), c(x = 0.01, y = 0.05))), c("x", "y"))
  expect_identical(names(ljungcv(10, 0.05, c(p = "C", q = "L"))), c("p", "q"))
})

test_that("method recycles with n and alpha, one value per element", {
  cases <- list(list(10, 0.05, c("C", "L")), list(c(10, 100, 1000), 0.01, c("L", "C")),
                list(c(10, 100), c(0.05, 0.01, 0.1, 0.001), c("C", "corrected", "ljung", "L")))
  for (case in cases) {
    size <- max(lengths(case))
    one_by_one <- mapply(function(n, alpha, method) ljungcv(n, alpha, method, check = FALSE), rep_len(case[[1]], size),
                         rep_len(case[[2]], size), rep_len(case[[3]], size), USE.NAMES = FALSE)
    expect_identical(do.call(ljungcv, c(case, check = FALSE)), one_by_one)
  }
  expect_identical(ljungcv(10, 0.05, character(0)), numeric(0))
})

test_that("values outside the sensible range give one warning counting them, unless check = FALSE", {
  n <- c(10, 461, 462, 1e6, 1e6, 1e6)
  alpha <- c(0.05, 0.001, 0.001, 0.001, 0.05, 0.001)
  turned <- mapply(function(n, alpha) ljungcv_table(n, alpha)$turned_down, n, alpha)
  expect_gt(sum(turned), 1L)
  warnings <- character(0)
  values <- withCallingHandlers(ljungcv(n, alpha),
                                warning = function(w) {
                                  warnings <<- c(warnings, conditionMessage(w))
                                  invokeRestart("muffleWarning")
                                })
  expect_identical(warnings, sprintf("%d values lie outside their curve's sensible range: see ljungcv_limits()",
                                     sum(turned)))
  expect_no_warning(unchecked <- ljungcv(n, alpha, check = FALSE))
  expect_identical(unchecked, values)
  expect_warning(ljungcv(1e6, 0.001), "^1 value lies outside its curve's sensible range")
  expect_no_warning(ljungcv(c(10, 100), 0.05))
})

test_that("the limits of a rejected level are an error; stretches cover every count", {
  expect_error(ljungcv_limits("C", 0.2), "rejects alpha = 0.2")
  limits <- ljungcv_limits(c("C", "L"), c(0.05, 0.001))
  for (part in split(limits, list(limits$method, limits$alpha))) {
    expect_identical(part$from_n, c(1, head(part$to_n, -1) + 1))
    expect_identical(tail(part$to_n, 1), 2^31 - 1)
  }
})

test_that("the module reports its fields, the module file first", {
  info <- ljungcv_info()
  expect_s3_class(info, "ljungcv_info")
  expect_identical(names(info)[1L], "module")
  expect_true(file.exists(info$module))
  expect_identical(normalizePath(info$module), normalizePath(system.file("libs", "libcvmodule.so",
                                                                         package = "ljungcv")))
  expect_gt(length(info$descriptor), 0L)
  printed <- capture.output(print(info))
  expect_identical(length(printed), sum(lengths(info)))
  expect_match(printed[1L], "^module: +/")
})
