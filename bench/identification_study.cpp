// The model identification on seeded series of known models and on a peer's
// choices (a study, not a test; bench/identification_peers.sh runs it with
// the peer).
//
//   identification_study --write DIR [--seeds N]
//       writes N seeded series a model (default 40) as DIR/series/NAME.txt,
//       one value a line, and DIR/manifest.tsv (tab-separated): name, group, period and the
//       true order (p, d, q, P, D, Q);
//   identification_study --compare DIR
//       identifies every series of DIR/manifest.tsv (the peer's script adds
//       its own data sets there) and reads the peer's choices from
//       DIR/peer.tsv (name, p, d, q, P, D, Q, constant, aicc, cpu_ms). The
//       peer's model is fitted here too, so both AICc come from one
//       likelihood, and compared only where d and D agree (its own AICc
//       is on another likelihood where d + D > 0). Prints a
//       Markdown table a group: the share where each picks the true order,
//       where we pick the peer's model (orders and constant), where d and D
//       agree, and of those where our AICc is within 0.1 of the peer's
//       model's or below; and the CPU time per series of each.
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "arma_simulation.h"
#include "core/arima.h"
#include "core/arima_identification.h"

namespace {

struct Model {
    const char* name;
    std::vector<double> ar, ma;  // lag polynomials, differencing included, B^0 first
    core::ArimaOrder order;
};

std::vector<Model> models()
{
    const std::vector<double> difference = {1.0, -1.0};
    const std::vector<double> seasonal = seasonal_lag_polynomial(-1.0, 12);
    return {
        {"AR(1)", {1.0, -0.6}, {1.0}, {1, 0, 0}},
        {"AR(2)", {1.0, -0.7, 0.4}, {1.0}, {2, 0, 0}},
        {"MA(1)", {1.0}, {1.0, 0.6}, {0, 0, 1}},
        {"ARMA(1,1)", {1.0, -0.7}, {1.0, 0.4}, {1, 0, 1}},
        {"ARIMA(0,1,1)", difference, {1.0, -0.5}, {0, 1, 1}},
        {"ARIMA(1,1,0)", multiply_lag_polynomials(difference, {1.0, -0.5}), {1.0}, {1, 1, 0}},
        {"airline", multiply_lag_polynomials(difference, seasonal),
         multiply_lag_polynomials({1.0, -0.4}, seasonal_lag_polynomial(-0.6, 12)), {0, 1, 1, 0, 1, 1, 12}},
        {"(1,0,0)(0,1,1)12", multiply_lag_polynomials({1.0, -0.6}, seasonal), seasonal_lag_polynomial(-0.6, 12),
         {1, 0, 0, 0, 1, 1, 12}},
    };
}

// The row of the time target: every monthly series of 144 values.
constexpr const char* MONTHLY_144 = "monthly, n = 144";

// The lengths the seeds cycle through.
constexpr std::size_t LENGTHS[] = {100, 144, 192, 240};

struct Order {
    int p = 0, d = 0, q = 0, P = 0, D = 0, Q = 0;
    bool operator==(const Order&) const = default;
};

struct Entry {
    std::string name, group;
    int period = 1;
    std::optional<Order> truth;
};

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '\t')) {
        out.push_back(field);
    }
    return out;
}

int write(const std::string& directory, int seeds)
{
    std::ofstream manifest(directory + "/manifest.tsv");
    manifest << "name\tgroup\tperiod\tp\td\tq\tP\tD\tQ\n";
    for (const Model& model : models()) {
        for (int seed = 1; seed <= seeds; ++seed) {
            const std::size_t n = LENGTHS[static_cast<std::size_t>(seed) % std::size(LENGTHS)];
            const std::vector<double> y =
                simulate_lag_model(model.ar, model.ma, n, static_cast<std::uint64_t>(seed), 1.0);
            std::string name = model.name;
            for (char& c : name) {
                c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
            }
            name.push_back('_');
            name.append(std::to_string(seed));
            std::ofstream file(directory + "/series/" + name + ".txt");
            file.precision(17);
            for (const double v : y) {
                file << v << '\n';
            }
            const core::ArimaOrder& o = model.order;
            manifest << name << '\t' << model.name << '\t' << o.period << '\t' << o.p << '\t' << o.d << '\t' << o.q
                     << '\t' << o.P << '\t' << o.D << '\t' << o.Q << '\n';
            if (!file || !manifest) {
                std::fprintf(stderr, "identification_study: cannot write %s\n", name.c_str());
                return 1;
            }
        }
    }
    return 0;
}

std::vector<double> read_series(const std::string& path)
{
    std::ifstream file(path);
    std::vector<double> y;
    std::string line;
    while (std::getline(file, line)) {
        y.push_back(line == "NA" ? NAN : std::stod(line));
    }
    return y;
}

struct Tally {
    int series = 0, ours_true = 0, peer_true = 0, with_truth = 0, same_model = 0, same_differencing = 0,
        aicc_within = 0, peer_unfitted = 0;
    double ours_ms = 0, peer_ms = 0;
};

double share(int part, int whole)
{
    return whole > 0 ? static_cast<double>(part) / whole : NAN;
}

int compare(const std::string& directory)
{
    std::ifstream manifest(directory + "/manifest.tsv");
    std::ifstream peer_file(directory + "/peer.tsv");
    if (!manifest || !peer_file) {
        std::fprintf(stderr, "identification_study: no manifest.tsv or peer.tsv in %s\n", directory.c_str());
        return 1;
    }
    std::map<std::string, std::vector<std::string>> peer;
    std::string line;
    std::getline(peer_file, line);
    while (std::getline(peer_file, line)) {
        const std::vector<std::string> f = fields(line);
        peer[f.at(0)] = f;
    }
    std::vector<std::string> groups;
    std::map<std::string, Tally> tallies;
    std::getline(manifest, line);
    while (std::getline(manifest, line)) {
        const std::vector<std::string> f = fields(line);
        const std::string& name = f.at(0);
        const std::string& group = f.at(1);
        const int period = std::stoi(f.at(2));
        std::optional<Order> truth;
        if (f.at(3) != "NA") {
            truth = Order{std::stoi(f[3]), std::stoi(f[4]), std::stoi(f[5]), std::stoi(f[6]), std::stoi(f[7]),
                          std::stoi(f[8])};
        }
        const auto found = peer.find(name);
        if (found == peer.end()) {
            std::fprintf(stderr, "identification_study: the peer has no choice for %s\n", name.c_str());
            return 1;
        }
        const std::vector<std::string>& q = found->second;
        const Order theirs{std::stoi(q.at(1)), std::stoi(q[2]), std::stoi(q[3]), std::stoi(q[4]), std::stoi(q[5]),
                           std::stoi(q[6])};
        const bool their_constant = q.at(7) == "TRUE";

        const std::vector<double> y = read_series(directory + "/series/" + name + ".txt");
        const std::clock_t start = std::clock();
        const core::Identification ours = core::identify_arima(y, period, {}, {});
        const double ms = 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        const Order mine{ours.order.p, ours.order.d, ours.order.q, ours.order.P, ours.order.D, ours.order.Q};
        const bool my_constant = ours.include_mean || ours.include_drift;

        if (!tallies.contains(group)) {
            groups.push_back(group);
        }
        std::vector<Tally*> counted = {&tallies[group]};
        if (truth) {
            counted.push_back(&tallies["all simulated"]);
        }
        if (period == 12 && y.size() == 144) {
            counted.push_back(&tallies[MONTHLY_144]);
        }
        for (Tally* t : counted) {
            ++t->series;
            t->ours_ms += ms;
            t->peer_ms += std::stod(q.at(9));
            if (truth) {
                ++t->with_truth;
                t->ours_true += mine == *truth ? 1 : 0;
                t->peer_true += theirs == *truth ? 1 : 0;
            }
            t->same_model += mine == theirs && my_constant == their_constant ? 1 : 0;
        }
        std::printf("%-28s ours (%d,%d,%d)(%d,%d,%d)%s AICc %.3f %.1f ms | peer (%d,%d,%d)(%d,%d,%d)%s AICc %s %.1f ms\n",
                    name.c_str(), mine.p, mine.d, mine.q, mine.P, mine.D, mine.Q, my_constant ? "+c" : "  ",
                    ours.fit.aicc, ms, theirs.p, theirs.d, theirs.q, theirs.P, theirs.D, theirs.Q,
                    their_constant ? "+c" : "  ", q.at(8).c_str(), std::stod(q.at(9)));
        if (mine.d != theirs.d || mine.D != theirs.D) {
            continue;
        }
        // The peer's model under our likelihood, on the same differenced data.
        std::optional<double> their_aicc;
        try {
            core::ArimaOptions options;
            if (theirs.d + theirs.D == 0) {
                options.include_mean = their_constant;
            }
            options.include_drift = theirs.d + theirs.D == 1 && their_constant;
            const core::ArimaFit fit = core::fit_arima(
                y, {theirs.p, theirs.d, theirs.q, theirs.P, theirs.D, theirs.Q, period}, {}, options);
            if (fit.converged && std::isfinite(fit.aicc)) {
                their_aicc = fit.aicc;
            }
        } catch (const std::exception&) {
        }
        for (Tally* t : counted) {
            ++t->same_differencing;
            if (!their_aicc) {
                ++t->peer_unfitted;
                ++t->aicc_within;  // nothing of the peer's to beat
            } else {
                t->aicc_within += ours.fit.aicc <= *their_aicc + 0.1 ? 1 : 0;
            }
        }
    }
    groups.push_back("all simulated");
    groups.push_back(MONTHLY_144);
    std::printf("\n| series | n | ours: true order | peer: true order | ours = peer's model | same d, D | "
                "AICc <= peer's + 0.1 | ours, ms CPU | peer, ms CPU |\n|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const std::string& group : groups) {
        const Tally& t = tallies[group];
        if (t.series == 0) {
            continue;
        }
        std::printf("| %s | %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.1f | %.1f |\n", group.c_str(), t.series,
                    share(t.ours_true, t.with_truth), share(t.peer_true, t.with_truth),
                    share(t.same_model, t.series), share(t.same_differencing, t.series),
                    share(t.aicc_within, t.same_differencing), t.ours_ms / t.series, t.peer_ms / t.series);
        if (t.peer_unfitted > 0) {
            std::printf("|  (of which the peer's model did not fit here: %d) |||||||||\n", t.peer_unfitted);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    try {
        if (args.size() >= 2 && args[0] == "--write") {
            int seeds = 40;
            if (args.size() == 4 && args[2] == "--seeds") {
                seeds = std::stoi(std::string(args[3]));
            }
            return write(std::string(args[1]), seeds);
        }
        if (args.size() == 2 && args[0] == "--compare") {
            return compare(std::string(args[1]));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "identification_study: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: identification_study --write DIR [--seeds N] | --compare DIR\n");
    return 2;
}
