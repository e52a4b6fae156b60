#include "output_formats.h"

namespace ljungcv {

namespace {

// "a, b or c" of the names that `keep` keeps, each after `prefix`.
template <class Keep>
std::string joined(Keep keep, std::string_view prefix, std::string_view conjunction)
{
    std::string names;
    std::string last;
    for (const FormatEntry& entry : OUTPUT_FORMATS) {
        if (!keep(entry)) {
            continue;
        }
        if (!last.empty()) {
            names += (names.empty() ? "" : ", ") + last;
        }
        last = std::string(prefix) + std::string(entry.name);
    }
    return names.empty() ? last : names + " " + std::string(conjunction) + " " + last;
}

}  // namespace

const FormatEntry& format_entry(OutputFormat format)
{
    for (const FormatEntry& entry : OUTPUT_FORMATS) {
        if (entry.format == format) {
            return entry;
        }
    }
    return OUTPUT_FORMATS.front();  // not reached: every format has its entry
}

std::optional<OutputFormat> format_named(std::string_view name, FormatCommand command)
{
    for (const FormatEntry& entry : OUTPUT_FORMATS) {
        if ((entry.commands & static_cast<unsigned>(command)) != 0 && entry.name == name) {
            return entry.format;
        }
    }
    return std::nullopt;
}

std::string format_names(FormatCommand command, std::string_view prefix)
{
    return joined([command](const FormatEntry& entry) { return (entry.commands & static_cast<unsigned>(command)) != 0; },
                  prefix, "or");
}

std::string writer_format_names(FormatWriter writer)
{
    return joined([writer](const FormatEntry& entry) { return entry.writer == writer; }, "", "and");
}

}  // namespace ljungcv
