// The command's output formats in one registry: each format's name, the
// writer that writes it, and the commands that take it. Help texts,
// messages and checks take the names from here.
#ifndef LJUNGCV_OUTPUT_FORMATS_H
#define LJUNGCV_OUTPUT_FORMATS_H

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace ljungcv {

enum class OutputFormat { text, markdown, latex, csv, json, svg, png, pdf };

enum class FormatWriter {
    aligned_table,  // table's columns side by side (TableWriter)
    records,        // a record per value (RecordWriter): table writes one JSON document, eval JSON Lines
    picture,        // drawn by gnuplot; plot names it by the file's extension
};

// The commands that write a chosen format, as bits.
enum class FormatCommand : unsigned { table = 1, eval = 2, plot = 4, reach = 8, outliers = 16 };

struct FormatEntry {
    OutputFormat format;
    std::string_view name;
    FormatWriter writer;
    unsigned commands;  // FormatCommand bits
};

inline constexpr unsigned TABLE = static_cast<unsigned>(FormatCommand::table);
inline constexpr unsigned EVAL = static_cast<unsigned>(FormatCommand::eval);
inline constexpr unsigned PLOT = static_cast<unsigned>(FormatCommand::plot);
inline constexpr unsigned REACH = static_cast<unsigned>(FormatCommand::reach);
inline constexpr unsigned OUTLIERS = static_cast<unsigned>(FormatCommand::outliers);

inline constexpr std::array<FormatEntry, 8> OUTPUT_FORMATS = {{
    {OutputFormat::text, "text", FormatWriter::aligned_table, TABLE | REACH | OUTLIERS},
    {OutputFormat::markdown, "markdown", FormatWriter::aligned_table, TABLE},
    {OutputFormat::latex, "latex", FormatWriter::aligned_table, TABLE},
    {OutputFormat::csv, "csv", FormatWriter::records, TABLE | EVAL | REACH | OUTLIERS},
    {OutputFormat::json, "json", FormatWriter::records, TABLE | EVAL | REACH | OUTLIERS},
    {OutputFormat::svg, "svg", FormatWriter::picture, PLOT},
    {OutputFormat::png, "png", FormatWriter::picture, PLOT},
    {OutputFormat::pdf, "pdf", FormatWriter::picture, PLOT},
}};

const FormatEntry& format_entry(OutputFormat format);

// The format `command` takes by this name (exactly as written), or nothing.
std::optional<OutputFormat> format_named(std::string_view name, FormatCommand command);

// The names `command` takes, each after `prefix`: "text, markdown, latex,
// csv or json"; ".svg, .png or .pdf" with the prefix ".".
std::string format_names(FormatCommand command, std::string_view prefix = "");

// The names of the formats one writer writes: "text, markdown and latex".
std::string writer_format_names(FormatWriter writer);

}  // namespace ljungcv

#endif
