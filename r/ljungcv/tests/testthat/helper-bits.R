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
