// The floor of each method: the std::log and std::sqrt calls it makes, on the
// arguments it makes them on, and nothing else.
//
// The arguments are found by retracing the method's steps once, before any
// timing; retrace_* rebuilds the method's result from them so that the caller
// can check, bit for bit, that these are the arguments the method really uses.
#ifndef CVMODULE_BENCH_FLOOR_H
#define CVMODULE_BENCH_FLOOR_H

#include <array>
#include <cstdint>

namespace bench {

// Calls per evaluation for n >= 2 and 0 < alpha <= 0.1.
inline constexpr int CORRECTED_LOGS = 17;
inline constexpr int CORRECTED_SQRTS = 10;
inline constexpr int LJUNG_LOGS = 4;
inline constexpr int LJUNG_SQRTS = 2;

template <int Logs, int Sqrts>
struct FloorArguments {
    std::array<double, Logs> logs{};
    std::array<double, Sqrts> sqrts{};
    double value = 0.0;  // the method's result rebuilt from these calls
};

using CorrectedFloor = FloorArguments<CORRECTED_LOGS, CORRECTED_SQRTS>;
using LjungFloor = FloorArguments<LJUNG_LOGS, LJUNG_SQRTS>;

// Retraces the method for n >= 2, 0 < alpha <= 0.1 (the tail branch of the
// normal quantile is then always the one taken).
CorrectedFloor retrace_corrected(std::int32_t n, double alpha);
LjungFloor retrace_ljung(std::int32_t n, double alpha);

// Makes exactly the recorded calls, each argument hidden from the optimiser
// and each result kept. Returns nothing: the results are the sink.
void run_floor(const CorrectedFloor& arguments);
void run_floor(const LjungFloor& arguments);

}  // namespace bench

#endif
