// Reading lines in bounded memory, output handed over in blocks, records
// kept for a second pass, and messages with their control bytes escaped.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "platform/escaped_text.h"
#include "platform/line_reader.h"
#include "platform/output_buffer.h"
#include "platform/spill_store.h"

namespace platform {
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

// Past what it keeps in memory the store spills to a file; either way the
// records come back in order, as often as asked.
TEST(SpillStore, GivesBackEveryRecordInOrderAfterSpilling)
{
    struct Record {
        double value;
        std::int32_t status;
    };
    SpillStore<Record> store;
    const std::size_t count = SpillStore<Record>::IN_MEMORY + 1000;
    for (std::size_t i = 0; i < count; ++i) {
        store.put({static_cast<double>(i) / 3.0, static_cast<std::int32_t>(i)});
    }
    for (int pass = 0; pass < 2; ++pass) {
        store.rewind();
        for (std::size_t i = 0; i < count; ++i) {
            const Record record = store.next();
            ASSERT_EQ(record.status, static_cast<std::int32_t>(i));
            ASSERT_EQ(record.value, static_cast<double>(i) / 3.0);
        }
    }
    EXPECT_THROW(store.next(), std::system_error);
}

TEST(EscapedText, ControlBytesShowAsHexAndLineEndsStayInMessages)
{
    EXPECT_EQ(escape_controls("a\x1b[31mb\a\t\x7f\xc3\xa9"), "a\\x1b[31mb\\x07\\x09\\x7f\xc3\xa9");
    // Each write as a message makes it: only a newline that ends a write
    // ends a line.
    const struct {
        const char* write;
        const char* shown;
    } cases[] = {
        {"name \x1b]0;title\x07 here\n", "name \\x1b]0;title\\x07 here\n"},
        {"cannot load 'x\nFAKE: error'\n", "cannot load 'x\\x0aFAKE: error'\n"},
        {"file 'a\n'\n", "file 'a\\x0a'\n"},
        {"two\n\n", "two\\x0a\n"},
        {"\r\t\n", "\\x0d\\x09\n"},
        {"no line end", "no line end"},
        {"\n", "\n"},
    };
    // escape_messages takes one stream in a process's life.
    std::ostringstream out;
    escape_messages(out);
    for (const auto& c : cases) {
        const std::size_t before = out.str().size();
        out.write(c.write, static_cast<std::streamsize>(std::char_traits<char>::length(c.write)));
        EXPECT_EQ(out.str().substr(before), c.shown) << escape_controls(c.write);
    }
    const std::size_t before = out.str().size();
    out << 'a' << '\n' << '\x1b';
    EXPECT_EQ(out.str().substr(before), "a\n\\x1b");
}

}  // namespace
}  // namespace platform
