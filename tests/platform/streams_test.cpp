// Reading lines in bounded memory, and output handed over in blocks.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/line_reader.h"
#include "platform/output_buffer.h"

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

}  // namespace
}  // namespace platform
