// CSV fields as people's files have them, and writing fields that read back.
#include <gtest/gtest.h>

#include <string>

#include "csv.h"
#include "platform/output_buffer.h"

namespace ljungcv {
namespace {

std::string written;

void keep(std::string_view bytes)
{
    written += bytes;
}

TEST(Csv, SplitsFieldsAsWrittenByPeopleAndPrograms)
{
    const struct {
        const char* line;
        std::vector<std::string> fields;
        const char* error;
    } cases[] = {
        {"10 0.05", {"10", "0.05"}, ""},
        {"100,0.01,L", {"100", "0.01", "L"}, ""},
        {"  1 , 0.05 , ljung  ", {"1", "0.05", "ljung"}, ""},
        {"3\t0.05\tC\r", {"3", "0.05", "C"}, ""},
        {"10,0.05,\"C\"", {"10", "0.05", "C"}, ""},
        {"\"10\",\"0.05\",\"L\"", {"10", "0.05", "L"}, ""},
        {"\"a\"\"b\",\"x, y\"", {"a\"b", "x, y"}, ""},
        {"10 0.05 # note", {"10", "0.05"}, ""},
        {"# a comment", {}, ""},
        {"\"#\" 1", {"#", "1"}, ""},
        {"", {}, ""},
        {"1 2 3 4 5", {"1", "2", "3", "4", "5"}, ""},
        // Commas end fields, so empty ones count where a program wrote them.
        {",n,alpha,method", {"", "n", "alpha", "method"}, ""},
        {"10,,0.05", {"10", "", "0.05"}, ""},
        {"10,0.05,", {"10", "0.05", ""}, ""},
        {"10 0.05,L", {"10", "0.05", "L"}, ""},
        // A # outside quotes starts a comment wherever it stands.
        {"10,0.05,L#note", {"10", "0.05", "L"}, ""},
        {"10 0.05# x", {"10", "0.05"}, ""},
        {"\"L\"#x", {"L"}, ""},
        {"\"10,0.05", {}, "a quoted field is not closed"},
        {"\"10\"x,0.05", {}, "text after the closing quote of a field"},
    };
    std::string scratch;
    for (const auto& c : cases) {
        const CsvFields got = split_csv_line(c.line, scratch);
        EXPECT_EQ(got.error, c.error) << c.line;
        if (got.error.empty()) {
            std::vector<std::string> fields(got.fields.begin(), got.fields.begin() + std::min(got.count, CsvFields::KEPT));
            EXPECT_EQ(fields, c.fields) << c.line;
        }
    }
    EXPECT_EQ(split_csv_line("1 2 3 4 5", scratch).count, 5U);
}

TEST(Csv, WrittenFieldsReadBack)
{
    const std::string fields[] = {"plain", "a,b", "say \"hi\"", "", " ljung "};
    written.clear();
    platform::OutputBuffer out(&keep);
    for (const std::string& field : fields) {
        write_csv_field(out, field);
        out.put('\n');
    }
    out.finish();
    EXPECT_EQ(written, "plain\n\"a,b\"\n\"say \"\"hi\"\"\"\n\n ljung \n");
    std::string scratch;
    EXPECT_EQ(split_csv_line("\"say \"\"hi\"\"\"", scratch).fields[0], "say \"hi\"");
}


}  // namespace
}  // namespace ljungcv
