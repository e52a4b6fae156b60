// Reading lines and CSV fields as people's files have them, and writing
// fields that read back.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "csv.h"
#include "line_reader.h"
#include "output_buffer.h"

namespace ljungcv {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File file_holding(const std::string& text)
{
    File file(std::tmpfile(), &std::fclose);
    std::fwrite(text.data(), 1, text.size(), file.get());
    std::rewind(file.get());
    return file;
}

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
    OutputBuffer out(&keep);
    for (const std::string& field : fields) {
        write_csv_field(out, field);
        out.put('\n');
    }
    out.finish();
    EXPECT_EQ(written, "plain\n\"a,b\"\n\"say \"\"hi\"\"\"\n\n ljung \n");
    std::string scratch;
    EXPECT_EQ(split_csv_line("\"say \"\"hi\"\"\"", scratch).fields[0], "say \"hi\"");
}

TEST(LineReader, LinesOfEveryShapeAndOverlongOnesInConstantMemory)
{
    const std::string big(LineReader::MAX_LINE + 1, 'x');
    File file = file_holding("\xEF\xBB\xBF" "n,alpha\r\n10 0.05\n" + big + "\n\n" + big + big + "\nlast");
    LineReader reader(file.get());
    const struct {
        LineReader::Got got;
        const char* line;
    } expected[] = {
        {LineReader::Got::line, "n,alpha\r"}, {LineReader::Got::line, "10 0.05"}, {LineReader::Got::too_long, ""},
        {LineReader::Got::line, ""},          {LineReader::Got::too_long, ""},   {LineReader::Got::line, "last"},
        {LineReader::Got::end, ""},
    };
    std::size_t number = 0;
    for (const auto& e : expected) {
        std::string_view line;
        EXPECT_EQ(reader.next(line), e.got) << "line " << number + 1;
        if (e.got == LineReader::Got::line) {
            EXPECT_EQ(line, e.line);
        }
        if (e.got != LineReader::Got::end) {
            EXPECT_EQ(reader.number(), ++number);
        }
    }
}

TEST(OutputBuffer, HandsOverWholeBlocksAndKeepsEveryByte)
{
    written.clear();
    std::string expected;
    OutputBuffer out(&keep);
    const std::string piece(OutputBuffer::BLOCK / 3 + 7, 'x');
    const char* quarters[] = {"0", "0.25", "0.5", "0.75", "1", "1.25", "1.5"};
    for (int i = 0; i < 7; ++i) {
        out.text(piece);
        out.integer(-i);
        out.shortest(0.25 * i);
        expected += piece + std::to_string(-i) + quarters[i];
        out.row_done();
    }
    out.text(std::string(3 * OutputBuffer::BLOCK, 'y'));  // longer than the buffer
    expected += std::string(3 * OutputBuffer::BLOCK, 'y');
    out.finish();
    EXPECT_EQ(written, expected);
}

}  // namespace
}  // namespace ljungcv
