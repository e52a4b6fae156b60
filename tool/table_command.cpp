// ljungcv table: a grid of critical values as text, CSV or JSON.
#include <algorithm>
#include <ostream>
#include <vector>

#include <fmt/ostream.h>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "exit_codes.h"
#include "grid.h"
#include "number_list.h"
#include "numbers.h"

namespace ljungcv {

namespace {

constexpr const char* NO_VALUE = "n/a";

void print_text(std::ostream& out, const Grid& grid, int digits)
{
    bool any_missing = false;
    for (std::size_t m = 0; m < grid.methods.size(); ++m) {
        if (m > 0) {
            fmt::print(out, "\n");
        }
        fmt::print(out, "LJUNGCV critical values, {} method ({})\n\n", method_long_name(grid.methods[m]),
                   grid.methods[m]);

        std::vector<std::string> n_texts(grid.counts.size());
        std::transform(grid.counts.begin(), grid.counts.end(), n_texts.begin(), format_shortest);
        std::size_t n_width = 1;
        for (const auto& text : n_texts) {
            n_width = std::max(n_width, text.size());
        }
        std::vector<std::vector<std::string>> cells(grid.counts.size());
        std::vector<std::string> headers;
        std::vector<std::size_t> widths;
        for (std::size_t a = 0; a < grid.levels.size(); ++a) {
            headers.push_back("alpha " + format_shortest(grid.levels[a]));
            std::size_t width = headers.back().size();
            for (std::size_t i = 0; i < grid.counts.size(); ++i) {
                const GridCell& cell = grid.cell(m, i, a);
                std::string text = cell.status == STATUS_OK ? format_fixed(cell.value, digits) : NO_VALUE;
                any_missing = any_missing || cell.status != STATUS_OK;
                width = std::max(width, text.size());
                cells[i].push_back(std::move(text));
            }
            widths.push_back(width);
        }

        fmt::print(out, "{:>{}}", "n", n_width);
        for (std::size_t a = 0; a < headers.size(); ++a) {
            fmt::print(out, "  {:>{}}", headers[a], widths[a]);
        }
        fmt::print(out, "\n");
        for (std::size_t i = 0; i < grid.counts.size(); ++i) {
            fmt::print(out, "{:>{}}", n_texts[i], n_width);
            for (std::size_t a = 0; a < cells[i].size(); ++a) {
                fmt::print(out, "  {:>{}}", cells[i][a], widths[a]);
            }
            fmt::print(out, "\n");
        }
    }
    if (any_missing) {
        fmt::print(out, "\n{}: no value exists (for example n = 1 with the asymptotic method, or alpha = 0)\n",
                   NO_VALUE);
    }
}

void print_csv(std::ostream& out, const Grid& grid)
{
    fmt::print(out, "n,alpha,method,value,status\n");
    for (std::size_t m = 0; m < grid.methods.size(); ++m) {
        for (std::size_t i = 0; i < grid.counts.size(); ++i) {
            for (std::size_t a = 0; a < grid.levels.size(); ++a) {
                const GridCell& cell = grid.cell(m, i, a);
                fmt::print(out, "{},{},{},{},{}\n", format_shortest(grid.counts[i]), format_shortest(grid.levels[a]),
                           grid.methods[m], cell.status == STATUS_OK ? format_shortest(cell.value) : "",
                           cell.status);
            }
        }
    }
}

void print_json(std::ostream& out, const Grid& grid)
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (std::size_t m = 0; m < grid.methods.size(); ++m) {
        for (std::size_t i = 0; i < grid.counts.size(); ++i) {
            for (std::size_t a = 0; a < grid.levels.size(); ++a) {
                const GridCell& cell = grid.cell(m, i, a);
                nlohmann::ordered_json row;
                row["n"] = grid.counts[i];
                row["alpha"] = grid.levels[a];
                row["method"] = grid.methods[m];
                row["value"] = cell.status == STATUS_OK ? nlohmann::ordered_json(cell.value) : nullptr;
                row["status"] = cell.status;
                rows.push_back(std::move(row));
            }
        }
    }
    nlohmann::ordered_json document;
    document["function"] = "LJUNGCV";
    document["rows"] = std::move(rows);
    out << document.dump(2) << '\n';
}

}  // namespace

int run_table(const std::filesystem::path& module, const TableOptions& options, std::ostream& out,
              std::ostream& err)
{
    std::vector<double> counts;
    std::vector<double> levels;
    try {
        counts = parse_number_list(options.n_list);
        levels = parse_number_list(options.alpha_list);
    } catch (const ListError& e) {
        fmt::print(err, "ljungcv table: {}\n", e.what());
        return EXIT_USAGE;
    }
    if (counts.size() * levels.size() > MAX_LIST_VALUES) {
        fmt::print(err, "ljungcv table: {} x {} cells are too many\n", counts.size(), levels.size());
        return EXIT_USAGE;
    }

    ModuleSession session(module);
    const Grid grid = evaluate_grid(session, methods_for(options.method), counts, levels);
    if (options.format == "csv") {
        print_csv(out, grid);
    } else if (options.format == "json") {
        print_json(out, grid);
    } else {
        print_text(out, grid, options.digits);
    }
    return EXIT_VALUE;
}

}  // namespace ljungcv
