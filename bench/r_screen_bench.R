# R's throughput over many series: seeded series of the airline model,
# (1 - B)(1 - B^12) y = (1 - 0.4B)(1 - 0.6B^12) a, 144 monthly values each,
# as one mts through ljungcv_screen() under (0,1,1)(0,1,1)12 with 1 and 2
# workers. Prints series per second (wall and CPU time), the speed-up, and
# whether both counts gave the same rows. The load average before each run
# says what else the machine was doing.
#
#   R_LIBS=LIBRARY Rscript bench/r_screen_bench.R [SERIES]      (10000 by default)
library(ljungcv)
arguments <- commandArgs(trailingOnly = TRUE)
count <- if (length(arguments) > 0L) as.integer(arguments[1L]) else 10000L
n <- 144L
set.seed(1)
ma <- c(-0.4, rep(0, 10), -0.6, 0.24)  # (1 - 0.4B)(1 - 0.6B^12)
x <- ts(vapply(seq_len(count), function(k) {
  a <- as.double(stats::arima.sim(list(ma = ma), n))
  stats::diffinv(stats::diffinv(a, lag = 12L), lag = 1L)[-(1:13)]
}, numeric(n)), start = c(2000, 1), frequency = 12)
colnames(x) <- sprintf("s%05d", seq_len(count))

load_average <- function() paste(scan("/proc/loadavg", what = "", n = 3L, quiet = TRUE), collapse = " ")
results <- list()
seconds <- c()
for (workers in 1:2) {
  cat(sprintf("load before: %s\n", load_average()))
  time <- system.time(results[[workers]] <- ljungcv_screen(x, order = c(0, 1, 1), seasonal = c(0, 1, 1),
                                                          workers = workers))
  seconds[workers] <- time[["elapsed"]]
  s <- results[[workers]]$status
  cat(sprintf("workers %d: %.2f s wall, %.2f s CPU, %.0f series/s; %d ok, %d outliers\n", workers,
              time[["elapsed"]], time[["user.self"]] + time[["sys.self"]], count / time[["elapsed"]],
              sum(s$status == "ok"), nrow(results[[workers]]$outliers)))
}
cat(sprintf("speed-up: %.2f; the two results are %s\n", seconds[1L] / seconds[2L],
            if (identical(results[[1L]], results[[2L]])) "identical" else "DIFFERENT"))
