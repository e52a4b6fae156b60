# The peer's half of bench/identification_peers.sh: adds R's own data sets
# to the study's directory, then identifies every series there with
# forecast::auto.arima (its defaults, as a user calls it) and writes
# peer.tsv (tab-separated): name, p, d, q, P, D, Q, constant, aicc, cpu_ms (user and system
# time of the call).
#   Rscript --vanilla bench/identification_peer.R DIR
directory <- commandArgs(TRUE)[1]
suppressPackageStartupMessages(library(forecast))

data_sets <- list(
  log_AirPassengers = log(AirPassengers), Nile = Nile, lh = lh, USAccDeaths = USAccDeaths,
  log_UKgas = log(UKgas), LakeHuron = LakeHuron, log_lynx = log(lynx), WWWusage = WWWusage,
  ldeaths = ldeaths, nottem = nottem, BJsales = BJsales, log_JohnsonJohnson = log(JohnsonJohnson),
  UKDriverDeaths = UKDriverDeaths, austres = austres, log_co2 = log(co2), sunspot_year = sunspot.year)
manifest_file <- file.path(directory, "manifest.tsv")
for (name in names(data_sets)) {
  x <- data_sets[[name]]
  writeLines(format(as.numeric(x), digits = 17), file.path(directory, "series", paste0(name, ".txt")))
  cat(sprintf("%s\tR data sets\t%d\tNA\tNA\tNA\tNA\tNA\tNA\n", name, frequency(x)), file = manifest_file, append = TRUE)
}

manifest <- read.delim(manifest_file, stringsAsFactors = FALSE)
rows <- vector("list", nrow(manifest))
for (i in seq_len(nrow(manifest))) {
  name <- manifest$name[i]
  y <- ts(scan(file.path(directory, "series", paste0(name, ".txt")), quiet = TRUE), frequency = manifest$period[i])
  time <- system.time(fit <- auto.arima(y))
  order <- arimaorder(fit)
  seasonal <- if (length(order) >= 6) order[4:6] else c(0, 0, 0)
  constant <- any(names(coef(fit)) %in% c("intercept", "drift"))
  rows[[i]] <- data.frame(name = name, p = order[1], d = order[2], q = order[3], P = seasonal[1], D = seasonal[2],
                          Q = seasonal[3], constant = constant, aicc = fit$aicc,
                          cpu_ms = 1000 * (time[["user.self"]] + time[["sys.self"]]))
}
write.table(do.call(rbind, rows), file.path(directory, "peer.tsv"), sep = "\t", row.names = FALSE, quote = FALSE)
