// The quasi-Newton search shared by the start values and the likelihood:
// L-BFGS (Liu & Nocedal 1989, from LBFGS++) over unconstrained parameters,
// with finite-difference gradients, a bounded number of iterations, and
// the best point seen kept, whatever way the search ends.
#ifndef ENGINE_UNCONSTRAINED_SEARCH_H
#define ENGINE_UNCONSTRAINED_SEARCH_H

#include <functional>
#include <string>
#include <vector>

namespace engine {

struct SearchResult {
    std::vector<double> x;
    double value = 0;
    double gradient_norm = 0;  // largest absolute component at x
    int iterations = 0;        // steps that lowered the objective
    int evaluations = 0;
    bool converged = false;
    std::string message;  // why not, when not converged
};

// How the gradient is formed: central differences (2 k evaluations, error
// O(h^2)), or forward ones from the value already known (k evaluations,
// error O(h)) for a search that needs a rougher optimum only.
enum class Differences { central, forward };

// Minimises objective from x0. The objective returns +infinity (or NaN)
// where it is not defined.
SearchResult minimize(const std::function<double(const std::vector<double>&)>& objective, std::vector<double> x0,
                      int max_iterations, double gradient_tolerance, Differences differences = Differences::central);

}  // namespace engine

#endif
