// CSV records as people's files have them, read whole however the input is
// cut into blocks, and writing fields that read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "csv.h"
#include "platform/output_buffer.h"

namespace ljungcv {
namespace {

std::string written;

void keep(std::string_view bytes)
{
    written += bytes;
}

// A record as a comparable value: its lines, then its error or fields.
struct Read {
    std::size_t first_line;
    std::size_t last_line;
    std::vector<std::string> fields;
    std::string error;
    bool operator==(const Read&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Read& read)
{
    out << "lines " << read.first_line << "-" << read.last_line << " ";
    for (const std::string& field : read.fields) {
        out << "[" << field << "]";
    }
    return out << (read.error.empty() ? "" : " error: " + read.error);
}

std::vector<Read> read_all(std::string_view text, std::size_t block)
{
    CsvReader reader(text, block);
    std::vector<Read> records;
    CsvRecord record;
    while (reader.next(record) == CsvReader::Got::record) {
        records.push_back({record.first_line, record.last_line, {record.fields.begin(), record.fields.end()},
                           record.error});
    }
    return records;
}

TEST(CsvReader, RecordsAsWrittenByPeopleAndProgramsInAnyBlocks)
{
    const struct {
        const char* text;
        std::vector<Read> records;
    } cases[] = {
        {"10 0.05\n", {{1, 1, {"10", "0.05"}, ""}}},
        {"100,0.01,L", {{1, 1, {"100", "0.01", "L"}, ""}}},
        {"  1 , 0.05 , ljung  \n", {{1, 1, {"1", "0.05", "ljung"}, ""}}},
        {"3\t0.05\tC\r\n", {{1, 1, {"3", "0.05", "C"}, ""}}},
        {"10,0.05,\"C\"\n\"10\",\"0.05\",\"L\"\n", {{1, 1, {"10", "0.05", "C"}, ""}, {2, 2, {"10", "0.05", "L"}, ""}}},
        {"\"a\"\"b\",\"x, y\"", {{1, 1, {"a\"b", "x, y"}, ""}}},
        {"10 0.05 # note\n# a comment\n\n  \n\"#\" 1\n", {{1, 1, {"10", "0.05"}, ""}, {5, 5, {"#", "1"}, ""}}},
        {"1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18",
         {{1, 1, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18"},
           ""}}},
        // Commas end fields, so empty ones count where a program wrote them.
        {",n,alpha,method\n10,,0.05\n10,0.05,\n,\n",
         {{1, 1, {"", "n", "alpha", "method"}, ""},
          {2, 2, {"10", "", "0.05"}, ""},
          {3, 3, {"10", "0.05", ""}, ""},
          {4, 4, {"", ""}, ""}}},
        {"10 0.05,L\n10,0.05,L#note\n\"L\"#x\n",
         {{1, 1, {"10", "0.05", "L"}, ""}, {2, 2, {"10", "0.05", "L"}, ""}, {3, 3, {"L"}, ""}}},
        // Every line end: LF, CR LF, and CR alone; blank lines count.
        {"n,alpha\r10,0.05\r\r100,0.01\r",
         {{1, 1, {"n", "alpha"}, ""}, {2, 2, {"10", "0.05"}, ""}, {4, 4, {"100", "0.01"}, ""}}},
        {"a\r\n\r\nb\n\rc", {{1, 1, {"a"}, ""}, {3, 3, {"b"}, ""}, {5, 5, {"c"}, ""}}},
        // A quoted field holds line breaks and commas; its record is read whole.
        {"n,note\n10,\"two\nlines, one field\"\n20,x\n",
         {{1, 1, {"n", "note"}, ""}, {2, 3, {"10", "two\nlines, one field"}, ""}, {4, 4, {"20", "x"}, ""}}},
        {"1,\"a\r\nb\rc\"\r\n2\n", {{1, 3, {"1", "a\r\nb\rc"}, ""}, {4, 4, {"2"}, ""}}},
        {"\xEF\xBB\xBFN,alpha\n", {{1, 1, {"N", "alpha"}, ""}}},
        // Errors end at the line's end, and reading goes on.
        {"\"10\"x,0.05\n7 0.05\n", {{1, 1, {}, "text after the closing quote of a field"}, {2, 2, {"7", "0.05"}, ""}}},
        {"1 0.05\n\"10,0.05\n2 0.05\n", {{1, 1, {"1", "0.05"}, ""}, {2, 3, {}, "a quoted field is not closed"}}},
        {"", {}},
        {"\n\n# only comments\r\n", {}},
    };
    for (const auto& c : cases) {
        for (const std::size_t block : {1, 2, 3, 5, 64}) {
            EXPECT_EQ(read_all(c.text, block), c.records) << "'" << c.text << "' in blocks of " << block;
        }
    }
}

TEST(CsvReader, SeparatorsThatHintAtDecimalCommas)
{
    const struct {
        const char* text;
        bool blank_separated;
        bool comma_in_number;
    } cases[] = {
        {"10\t0,05", true, true},   {"10 0,05", true, true},    {"10,0.05", false, true},
        {"10, 05", false, false},   {"10 ,05", false, false},    {"a,0", false, false},
        {"\"1\",2", false, false},  {"10 0.05,L", true, false}, {"10 0.05", true, false},
    };
    for (const auto& c : cases) {
        CsvReader reader(c.text, 64);
        CsvRecord record;
        ASSERT_EQ(reader.next(record), CsvReader::Got::record) << c.text;
        EXPECT_EQ(record.blank_separated, c.blank_separated) << c.text;
        EXPECT_EQ(record.comma_in_number, c.comma_in_number) << c.text;
    }
}

TEST(CsvReader, LongRecordsAreBoundedAndReadingGoesOn)
{
    const std::string bound = std::to_string(CsvReader::MAX_RECORD);
    const std::string full(CsvReader::MAX_RECORD, '9');
    // A record of exactly the bound is read; one byte more is an error, and
    // so is a quoted field that runs past it, which ends where its quote does.
    const std::string text = full + "\n" + full + "9 0.05\n1 0.05\n\"" + std::string(CsvReader::MAX_RECORD, '\n') +
                             "\",x\n2\n";
    const std::vector<Read> records = read_all(text, CsvReader::BLOCK);
    const std::vector<Read> expected = {
        {1, 1, {full}, ""},
        {2, 2, {}, "longer than " + bound + " bytes"},
        {3, 3, {"1", "0.05"}, ""},
        {4, 4 + CsvReader::MAX_RECORD, {}, "longer than " + bound + " bytes"},
        {5 + CsvReader::MAX_RECORD, 5 + CsvReader::MAX_RECORD, {"2"}, ""},
    };
    EXPECT_EQ(records, expected);
    const std::vector<Read> unclosed = read_all("\"" + full, CsvReader::BLOCK);
    ASSERT_EQ(unclosed.size(), 1U);
    EXPECT_EQ(unclosed[0].error, "longer than " + bound + " bytes (a quoted field is not closed)");
}

TEST(Csv, WrittenFieldsReadBack)
{
    const std::vector<std::string> fields = {"plain", "a,b", "say \"hi\"", "", " ljung ", "two\nlines", "#", "a\tb"};
    written.clear();
    platform::OutputBuffer out(&keep);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        write_csv_field(out, fields[i]);
        out.put(i + 1 < fields.size() ? ',' : '\n');
    }
    out.finish();
    EXPECT_EQ(written, "plain,\"a,b\",\"say \"\"hi\"\"\",,\" ljung \",\"two\nlines\",\"#\",\"a\tb\"\n");
    const std::vector<Read> back = read_all(written, 64);
    ASSERT_EQ(back.size(), 1U);
    EXPECT_EQ(back[0].fields, fields);
}

}  // namespace
}  // namespace ljungcv
