#include "csv.h"

#include <algorithm>

namespace ljungcv {

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

}  // namespace

CsvFields split_csv_line(std::string_view line, std::string& scratch)
{
    CsvFields result;
    scratch.clear();
    scratch.reserve(line.size());  // quoted fields never move once placed
    std::size_t i = 0;
    const auto skip_blanks = [&] {
        while (i < line.size() && is_blank(line[i])) {
            ++i;
        }
    };
    const auto at_end = [&] { return i == line.size() || line[i] == '#'; };
    const auto keep = [&result](std::string_view field) {
        if (result.count < CsvFields::KEPT) {
            result.fields[result.count] = field;
        }
        ++result.count;
    };

    skip_blanks();
    if (at_end()) {
        return result;  // a blank line or a comment
    }
    while (true) {
        if (line[i] == ',') {
            keep({});  // an empty field between commas
        } else if (line[i] == '"') {
            const std::size_t start = scratch.size();
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        scratch += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                scratch += line[i++];
            }
            if (!closed) {
                result.error = "a quoted field is not closed";
                return result;
            }
            if (!at_end() && !is_blank(line[i]) && line[i] != ',') {
                result.error = "text after the closing quote of a field";
                return result;
            }
            keep(std::string_view(scratch).substr(start));
        } else {
            const std::size_t start = i;
            while (!at_end() && !is_blank(line[i]) && line[i] != ',') {
                ++i;
            }
            keep(line.substr(start, i - start));
        }
        skip_blanks();
        if (at_end()) {
            return result;
        }
        if (line[i] == ',') {
            ++i;
            skip_blanks();
            if (at_end()) {
                keep({});  // the empty field after a last comma
                return result;
            }
        }
    }
}

void write_csv_field(platform::OutputBuffer& out, std::string_view field)
{
    if (std::none_of(field.begin(), field.end(), [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; })) {
        out.text(field);
        return;
    }
    out.put('"');
    for (const char c : field) {
        if (c == '"') {
            out.put('"');
        }
        out.put(c);
    }
    out.put('"');
}

}  // namespace ljungcv
