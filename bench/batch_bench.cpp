// Throughput of the outlier procedure over many series: seeded series of
// the airline model, (1 - B)(1 - B^12) y_t = (1 - 0.4 B)(1 - 0.6 B^12) a_t,
// 144 monthly values each, through cvhost_find_outliers_batch under the
// model (0,1,1)(0,1,1)12 with each worker count asked for. Prints series
// per second and the speed-up over one worker (target: 1.7 on two cores),
// and checks that every count gives the same bits. --csv FILE also writes
// the series as one long CSV (id,value) for timing `ljungcv outliers --by`.
//
//   batch_bench [--series N] [--workers 1,2] [--csv FILE]
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "arma_simulation.h"
#include "cvmodule/cvhost.h"

namespace {

constexpr double SPEED_UP_TARGET = 1.7;

std::vector<std::vector<double>> airline_series(std::size_t count, std::size_t n)
{
    const std::vector<double> ar = multiply_lag_polynomials({1.0, -1.0}, seasonal_lag_polynomial(-1.0, 12));
    const std::vector<double> ma = multiply_lag_polynomials({1.0, -0.4}, seasonal_lag_polynomial(-0.6, 12));
    std::vector<std::vector<double>> series;
    for (std::size_t i = 0; i < count; ++i) {
        series.push_back(simulate_lag_model(ar, ma, n, 1000 + i, 1.0));
    }
    return series;
}

// A digest of everything a batch found, to tell two runs' bits apart.
std::uint64_t digest(const cvhost_batch* batch)
{
    std::uint64_t h = 1469598103934665603ULL;
    const auto mix = [&h](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            h = (h ^ bytes[i]) * 1099511628211ULL;
        }
    };
    for (std::size_t i = 0; i < cvhost_batch_count(batch); ++i) {
        const std::int32_t status = cvhost_batch_status(batch, i);
        mix(&status, sizeof status);
        const cvhost_outliers* found = cvhost_batch_outliers(batch, i);
        const std::size_t count = cvhost_outliers_count(found);
        mix(&count, sizeof count);
        if (count > 0) {
            mix(cvhost_outliers_index(found), count * sizeof(std::size_t));
            mix(cvhost_outliers_effect(found), count * sizeof(double));
            mix(cvhost_outliers_tstat(found), count * sizeof(double));
        }
        const double loglik = cvhost_fit_loglik(cvhost_outliers_fit(found));
        mix(&loglik, sizeof loglik);
    }
    return h;
}

// The process's CPU time so far, user and system, in seconds: with the
// machine shared, wall time shows the share the batch got, CPU time the work.
double cpu_seconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::vector<unsigned> worker_list(const char* text)
{
    std::vector<unsigned> list;
    for (const char* p = text; *p != '\0';) {
        char* end = nullptr;
        list.push_back(static_cast<unsigned>(std::strtoul(p, &end, 10)));
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p != '\0') {
            break;
        }
    }
    return list;
}

}  // namespace

int main(int argc, char** argv)
{
    std::size_t count = 10000;
    std::vector<unsigned> workers = {1, 2};
    const char* csv = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--series") == 0) {
            count = std::strtoull(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--workers") == 0) {
            workers = worker_list(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--csv") == 0) {
            csv = argv[i + 1];
        } else {
            std::fprintf(stderr, "usage: batch_bench [--series N] [--workers 1,2] [--csv FILE]\n");
            return 2;
        }
    }
    const std::vector<std::vector<double>> series = airline_series(count, 144);
    if (csv != nullptr) {
        std::FILE* out = std::fopen(csv, "w");
        if (out == nullptr) {
            std::perror(csv);
            return 1;
        }
        std::fprintf(out, "id,value\n");
        for (std::size_t i = 0; i < series.size(); ++i) {
            for (const double v : series[i]) {
                std::fprintf(out, "s%05zu,%.17g\n", i, v);
            }
        }
        if (std::fclose(out) != 0) {
            std::perror(csv);
            return 1;
        }
    }

    char message[256];
    cvhost* host = cvhost_open(CVMODULE_PATH, message, sizeof message);
    if (host == nullptr) {
        std::fprintf(stderr, "%s\n", message);
        return 1;
    }
    cvhost_outlier_options options = CVHOST_OUTLIER_OPTIONS_INIT;
    options.model.q = 1;
    options.model.d = 1;
    options.model.Q = 1;
    options.model.D = 1;
    options.model.period = 12;
    std::vector<const double*> pointers;
    std::vector<std::size_t> lengths;
    for (const std::vector<double>& y : series) {
        pointers.push_back(y.data());
        lengths.push_back(y.size());
    }

    double first_rate = 0;
    std::uint64_t first_digest = 0;
    int status = 0;
    for (const unsigned w : workers) {
        cvhost_batch* batch = nullptr;
        const auto start = std::chrono::steady_clock::now();
        const double cpu_start = cpu_seconds();
        if (cvhost_find_outliers_batch(host, &options, count, pointers.data(), lengths.data(), w, &batch, message,
                                       sizeof message) != CVHOST_STATUS_OK) {
            std::fprintf(stderr, "%s\n", message);
            return 1;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = cpu_seconds() - cpu_start;
        std::size_t failed = 0;
        std::size_t outliers = 0;
        for (std::size_t i = 0; i < count; ++i) {
            failed += cvhost_batch_status(batch, i) != CVHOST_STATUS_OK ? 1 : 0;
            outliers += cvhost_outliers_count(cvhost_batch_outliers(batch, i));
        }
        const double rate = static_cast<double>(count) / seconds;
        const std::uint64_t d = digest(batch);
        if (first_rate == 0) {
            first_rate = rate;
            first_digest = d;
        }
        std::printf("workers %u: %zu series in %.2f s (CPU %.2f s), %.1f series/s, speed-up %.2f; %zu failed, "
                    "%zu outliers, digest %016" PRIx64 "%s\n",
                    w, count, seconds, cpu, rate, rate / first_rate, failed, outliers, d,
                    d == first_digest ? "" : " (DIFFERS)");
        if (d != first_digest) {
            status = 1;
        }
        if (w == 2 && workers.front() == 1 && rate / first_rate < SPEED_UP_TARGET) {
            std::printf("  below the target speed-up of %.1f\n", SPEED_UP_TARGET);
        }
        cvhost_batch_free(batch);
    }
    cvhost_close(host);
    return status;
}
