// ljungcv table: a grid of critical values as text, Markdown, LaTeX, CSV or
// JSON, written row by row as it is evaluated, so memory does not grow with
// the grid. Text needs its column widths first: its cells wait in a store
// between measuring and printing, each evaluated once.
#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>
#include <vector>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "commands.h"
#include "core/explanations.h"
#include "core/numbers.h"
#include "core/sensible_range.h"
#include "exit_codes.h"
#include "number_list.h"
#include "option_checks.h"
#include "output_formats.h"
#include "platform/checked_output.h"
#include "platform/output_buffer.h"
#include "platform/spill_store.h"
#include "record_writer.h"

namespace ljungcv {

namespace {

constexpr const char* NO_VALUE = "n/a";
constexpr const char* NO_VALUE_NOTE = "no value exists (for example n = 1 with the asymptotic method, or alpha = 0)";
std::string turn_note()
{
    return "outside the curve's sensible range: the value is below the one at n - 1 or at " + larger_level_text() +
           ", so a test with it does not hold its level";
}
// Most levels of a table with aligned columns (text, Markdown, LaTeX).
constexpr std::size_t MAX_COLUMNS = 1000;

using Format = OutputFormat;

using Cell = AssessedPoint;

bool has_value(const Cell& cell)
{
    return cell.point.status == Status::ok;
}

// One method's table, row by row.
class TableWriter {
public:
    TableWriter(platform::OutputBuffer& out, Format format, const TableOptions& options, int digits,
                const NumberList& levels)
        : out_(out), format_(format), options_(options), digits_(digits), levels_(levels)
    {
    }

    // `methods`: the method of each block; text has one block with every
    // method's columns side by side.
    void begin(const std::vector<Method>& methods, std::size_t block)
    {
        any_missing_ = false;
        any_turned_ = false;
        std::string titles;
        for (std::size_t m = 0; m < methods.size(); ++m) {
            titles.append(m == 0 ? "" : m + 1 < methods.size() ? ", " : " and ").append(method_title(methods[m]));
        }
        const std::string title = "LJUNGCV critical values, " + titles;
        switch (format_) {
        case Format::text:
            out_.text(fmt::format("{}{}\n\n", block > 0 ? "\n" : "", title));
            if (methods.size() > 1) {
                // Each method's title over its columns.
                out_.text(std::string(n_width_, ' '));
                for (std::size_t m = 0; m < methods.size(); ++m) {
                    const bool last = m + 1 == methods.size();  // no blanks at the end of the line
                    out_.text(fmt::format("{}  {:<{}}", separator(m * levels_.size()), method_title(methods[m]),
                                          last ? 0 : group_width(m)));
                }
                out_.put('\n');
            }
            out_.text(fmt::format("{:>{}}", "n", n_width_));
            for (std::size_t a = 0; a < headers_.size(); ++a) {
                out_.text(fmt::format("{}  {:>{}}", separator(a), headers_[a], widths_[a]));
            }
            out_.put('\n');
            break;
        case Format::markdown:
            out_.text(fmt::format("{}**{}**\n\n| n |", block > 0 ? "\n" : "", title));
            levels_.for_each([this](double alpha) { out_.text(fmt::format(" α = {} |", format_shortest(alpha))); });
            out_.text("\n|--:|");
            levels_.for_each([this](double) { out_.text("--:|"); });
            out_.put('\n');
            break;
        case Format::latex:
            out_.text(fmt::format("{}% {}\n\\begin{{tabular}}{{r{}}}\n\\toprule\n", block > 0 ? "\n" : "", title,
                                  std::string(levels_.size(), 'r')));
            out_.text(fmt::format("& \\multicolumn{{{}}}{{c}}{{{}}} \\\\\n\\cmidrule(l){{2-{}}}\n$n$", levels_.size(),
                                  titles, levels_.size() + 1));
            levels_.for_each(
                [this](double alpha) { out_.text(fmt::format(" & $\\alpha = {}$", format_shortest(alpha))); });
            out_.text(" \\\\\n\\midrule\n");
            break;
        case Format::csv:
        case Format::json:
        case Format::svg:
        case Format::png:
        case Format::pdf:
            break;  // written by other writers
        }
    }

    void row(double n, const std::vector<Cell>& cells)
    {
        const std::string count = format_count(n);
        switch (format_) {
        case Format::text: {
            std::string line = fmt::format("{:>{}}", count, n_width_);
            for (std::size_t a = 0; a < cells.size(); ++a) {
                line += fmt::format("{}  {:>{}}", separator(a), cell_text(cells[a], "*", marks_[a] ? " " : ""),
                                    widths_[a]);
            }
            // A mark's room after the last column is no blank at the line's end.
            out_.text(std::string_view(line).substr(0, line.find_last_not_of(' ') + 1));
            break;
        }
        case Format::markdown:
            out_.text(fmt::format("| {} |", count));
            for (const Cell& cell : cells) {
                out_.text(fmt::format(" {} |", cell_text(cell, "\\*", "")));
            }
            break;
        case Format::latex:
            out_.text(count);
            for (const Cell& cell : cells) {
                out_.text(fmt::format(" & {}", cell_text(cell, "$^{*}$", "")));
            }
            out_.text(" \\\\");
            break;
        case Format::csv:
        case Format::json:
        case Format::svg:
        case Format::png:
        case Format::pdf:
            break;  // written by other writers
        }
        out_.put('\n');
    }

    void end()
    {
        if (format_ == Format::latex) {
            out_.text("\\bottomrule\n");
            note(fmt::format("\\multicolumn{{{}}}{{l}}{{\\footnotesize n/a: {}}} \\\\\n", levels_.size() + 1,
                             NO_VALUE_NOTE),
                 fmt::format("\\multicolumn{{{}}}{{l}}{{\\footnotesize $^{{*}}$ {}}} \\\\\n", levels_.size() + 1,
                             latex_escaped(turn_note())));
            out_.text("\\end{tabular}\n");
        } else if (format_ == Format::markdown) {
            note(fmt::format("\nn/a: {}\n", NO_VALUE_NOTE), fmt::format("\n\\* {}\n", turn_note()));
        } else {
            note(fmt::format("\n{}: {}\n", NO_VALUE, NO_VALUE_NOTE), fmt::format("\n*: {}\n", turn_note()));
        }
    }

    // Text only: the widths of the columns, every method's levels in turn,
    // from a first pass. A method's title that is wider than its columns
    // widens the first of them.
    void measure(const std::vector<Method>& methods, const std::vector<std::string>& headers,
                 std::vector<std::size_t> widths, std::vector<bool> marks, std::size_t n_width)
    {
        headers_ = headers;
        widths_ = std::move(widths);
        marks_ = std::move(marks);
        n_width_ = n_width;
        groups_ = methods.size();
        for (std::size_t m = 0; groups_ > 1 && m < methods.size(); ++m) {
            const std::size_t title = method_title(methods[m]).size();
            if (title > group_width(m)) {
                widths_[m * levels_.size()] += title - group_width(m);
            }
        }
    }

    std::string value_text(double value) const
    {
        return options_.exact ? format_shortest(value) : format_fixed(value, digits_);
    }

    std::string cell_text(const Cell& cell, const char* mark, const char* no_mark)
    {
        if (!has_value(cell)) {
            any_missing_ = true;
            return NO_VALUE + std::string(no_mark);
        }
        const bool turned = cell.range != Range::holds;
        any_turned_ = any_turned_ || turned;
        return value_text(cell.point.value) + (turned ? mark : no_mark);
    }

private:
    // Text only: " |" before the first column of each method but the first.
    const char* separator(std::size_t column) const
    {
        return groups_ > 1 && column > 0 && column % levels_.size() == 0 ? " |" : "";
    }

    // Text only: the width of method m's columns after their first "  ".
    std::size_t group_width(std::size_t m) const
    {
        std::size_t width = 0;
        for (std::size_t a = 0; a < levels_.size(); ++a) {
            width += (a > 0 ? 2 : 0) + widths_[m * levels_.size() + a];
        }
        return width;
    }

    static std::string latex_escaped(std::string_view text)
    {
        std::string escaped;
        for (const char c : text) {
            if (c == '%') {
                escaped += '\\';
            }
            escaped += c;
        }
        return escaped;
    }

    void note(const std::string& missing, const std::string& turned)
    {
        if (any_missing_) {
            out_.text(missing);
        }
        if (any_turned_) {
            out_.text(turned);
        }
    }

    platform::OutputBuffer& out_;
    Format format_;
    const TableOptions& options_;
    int digits_;
    const NumberList& levels_;
    std::vector<std::string> headers_;
    std::vector<std::size_t> widths_;
    std::vector<bool> marks_;
    std::size_t n_width_ = 1;
    std::size_t groups_ = 1;  // text: the methods side by side
    bool any_missing_ = false;
    bool any_turned_ = false;
};

// A usage error's message, or empty when the counts are whole numbers that
// can be shown exactly.
std::string check_counts(const NumberList& counts)
{
    std::string problem;
    counts.for_each([&problem](double n) {
        if (problem.empty()) {
            problem = fractional_count_problem(n);
        }
        if (problem.empty() && std::fabs(n) > LARGEST_EXACT_INTEGER) {
            problem = fmt::format("n = {} is not a whole number of observations (up to 2^53)", format_shortest(n));
        }
    });
    return problem;
}

}  // namespace

int run_table(const std::filesystem::path& module, const TableOptions& options, std::ostream& err)
{
    std::optional<Format> format;
    std::optional<std::vector<Method>> methods;
    std::optional<NumberList> counts;
    std::optional<NumberList> levels;
    int digits = DEFAULT_DIGITS;
    try {
        format = checked_format(options.format, FormatCommand::table);
        check_digits_apply(options.digits, *format, options.format);
        digits = checked_digits(options.digits);
        methods = checked_methods(options.method);
        counts = checked_list(options.n_list);
        levels = checked_list(options.alpha_list);
    } catch (const OptionError& e) {
        fmt::print(err, "ljungcv table: {}\n", e.what());
        return EXIT_USAGE;
    }
    const bool records = format_entry(*format).writer == FormatWriter::records;
    if (const std::string problem = check_counts(*counts); !problem.empty()) {
        fmt::print(err, "ljungcv table: {}\n", problem);
        return EXIT_USAGE;
    }
    // A row is kept whole only where its columns are aligned side by side.
    if (levels->size() > MAX_COLUMNS && !records) {
        fmt::print(err, "ljungcv table: {} levels are more columns than a {} table should have ({} at most; {} take any "
                        "number)\n",
                   levels->size(), options.format, MAX_COLUMNS, writer_format_names(FormatWriter::records));
        return EXIT_USAGE;
    }
    if (counts->size() * levels->size() > MAX_LIST_VALUES) {
        fmt::print(err, "ljungcv table: {} x {} cells are too many\n", counts->size(), levels->size());
        return EXIT_USAGE;
    }

    ModuleSession session(module);
    std::vector<std::unique_ptr<Curve>> curves;
    for (const Method method : *methods) {
        curves.push_back(std::make_unique<Curve>(session, method));
    }
    // A level the module rejects is a rejection, before anything is printed.
    std::optional<double> rejected;
    levels->for_each([&](double alpha) {
        if (!rejected && level_rejected(*curves.front(), alpha)) {
            rejected = alpha;
        }
    });
    if (rejected) {
        fmt::print(err, "ljungcv table: {}\n", explain_rejection(2, 10.0, *rejected, ""));
        return EXIT_INVALID_ARGUMENT;
    }

    platform::OutputBuffer out(&platform::write_output);
    if (records) {
        RecordWriter writer(out, *format == Format::csv ? RecordFormat::csv : RecordFormat::json_document);
        for (const std::unique_ptr<Curve>& curve : curves) {
            RecentPoints points(*curve);
            const char* method = method_keyword(curve->method().value_or(DEFAULT_METHOD));
            counts->for_each([&](double n) {
                const std::string count = format_count(n);
                levels->for_each([&](double alpha) {
                    const Cell cell = assess_at(points, n, alpha);
                    const std::string level = format_shortest(alpha);
                    writer.write({count, level, method, n, alpha, &cell, {}});
                    out.row_done();
                });
            });
        }
        writer.finish();
        out.finish();
        return EXIT_VALUE;
    }

    TableWriter writer(out, *format, options, digits, *levels);
    std::vector<std::unique_ptr<RecentPoints>> points;
    points.reserve(curves.size());
    for (const std::unique_ptr<Curve>& curve : curves) {
        points.push_back(std::make_unique<RecentPoints>(*curve));
    }
    std::vector<Cell> cells;
    // A row of the methods from `first` to before `last`, each method's levels in turn.
    const auto evaluate_row = [&](double n, std::size_t first, std::size_t last) {
        cells.clear();
        for (std::size_t m = first; m < last; ++m) {
            levels->for_each([&](double alpha) { cells.push_back(assess_at(*points[m], n, alpha)); });
        }
    };
    if (*format == Format::text) {
        // One table, the methods side by side; its widths need every cell first.
        std::vector<std::string> headers;
        for (std::size_t m = 0; m < curves.size(); ++m) {
            levels->for_each([&headers](double alpha) { headers.push_back("alpha " + format_shortest(alpha)); });
        }
        std::vector<std::size_t> widths(headers.size());
        std::transform(headers.begin(), headers.end(), widths.begin(), [](const std::string& h) { return h.size(); });
        std::vector<bool> marks(headers.size(), false);
        std::size_t n_width = 1;
        platform::SpillStore<Cell> store;  // the cells between measuring and printing
        counts->for_each([&](double n) {
            n_width = std::max(n_width, format_count(n).size());
            evaluate_row(n, 0, curves.size());
            for (std::size_t a = 0; a < cells.size(); ++a) {
                const bool turned = cells[a].range != Range::holds;
                marks[a] = marks[a] || turned;
                const std::size_t size = has_value(cells[a]) ? writer.value_text(cells[a].point.value).size()
                                                          : std::string_view(NO_VALUE).size();
                widths[a] = std::max(widths[a], size + (turned ? 1 : 0));
                store.put(cells[a]);
            }
        });
        writer.measure(*methods, headers, widths, marks, n_width);
        store.rewind();
        writer.begin(*methods, 0);
        counts->for_each([&](double n) {
            cells.clear();
            for (std::size_t c = 0; c < headers.size(); ++c) {
                cells.push_back(store.next());
            }
            writer.row(n, cells);
            out.row_done();
        });
        writer.end();
    } else {
        for (std::size_t m = 0; m < curves.size(); ++m) {
            writer.begin({(*methods)[m]}, m);
            counts->for_each([&](double n) {
                evaluate_row(n, m, m + 1);
                writer.row(n, cells);
                out.row_done();
            });
            writer.end();
        }
    }
    out.finish();
    return EXIT_VALUE;
}

}  // namespace ljungcv
