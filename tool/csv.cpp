#include "csv.h"

namespace ljungcv {

namespace {

bool is_separator(char c)
{
    return c == ',' || c == ' ' || c == '\t' || c == '\r';
}

}  // namespace

CsvFields split_csv_line(std::string_view line, std::string& scratch)
{
    CsvFields result;
    scratch.clear();
    scratch.reserve(line.size());  // quoted fields never move once placed
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && is_separator(line[i])) {
            ++i;
        }
        if (i == line.size() || line[i] == '#') {
            return result;
        }
        std::string_view field;
        if (line[i] == '"') {
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
            if (i < line.size() && !is_separator(line[i])) {
                result.error = "text after the closing quote of a field";
                return result;
            }
            field = std::string_view(scratch).substr(start);
        } else {
            const std::size_t start = i;
            while (i < line.size() && !is_separator(line[i])) {
                ++i;
            }
            field = line.substr(start, i - start);
        }
        if (result.count < CsvFields::KEPT) {
            result.fields[result.count] = field;
        }
        ++result.count;
    }
}

void write_csv_field(OutputBuffer& out, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
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
