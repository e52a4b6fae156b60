library(testthat)
library(ljungcv)

test_check("ljungcv")
