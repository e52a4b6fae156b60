// ljungcv eval: batch evaluation of lines "n alpha [method]" into CSV.
//
// Input is read in large blocks and split into lines in place; output is
// collected in a large buffer and written in blocks, so memory stays
// constant however long the input. Each line is evaluated through one of two
// prepared call frames (two or three arguments) whose values are replaced
// line by line.
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include <fmt/ostream.h>

#include "commands.h"
#include "exit_codes.h"
#include "module_session.h"
#include "numbers.h"
#include "output.h"

namespace ljungcv {

namespace {

constexpr std::size_t BLOCK = 1 << 20;
constexpr int MAX_FIELDS = 3;

bool is_separator(char c)
{
    return c == ',' || c == ' ' || c == '\t' || c == '\r';
}

// Rows go into one large buffer that is written out whenever it holds a
// block; fields are copied in with memcpy and numbers formatted in place.
class CsvWriter {
public:
    CsvWriter() : buffer_(new char[CAPACITY]) {}
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    void text(std::string_view field)
    {
        if (field.find('"') == std::string_view::npos) {
            append(field.data(), field.size());
            return;
        }
        put('"');
        for (const char c : field) {
            if (c == '"') {
                put('"');
            }
            put(c);
        }
        put('"');
    }
    void comma() { put(','); }
    void number(double value)
    {
        reserve(NUMBER_ROOM);
        used_ = static_cast<std::size_t>(std::to_chars(end(), end() + NUMBER_ROOM, value).ptr - buffer_.get());
    }
    void integer(std::int32_t value)
    {
        reserve(NUMBER_ROOM);
        used_ = static_cast<std::size_t>(std::to_chars(end(), end() + NUMBER_ROOM, value).ptr - buffer_.get());
    }
    void end_row()
    {
        put('\n');
        if (used_ >= BLOCK) {
            flush();
        }
    }
    void flush()
    {
        write(buffer_.get(), used_);
        used_ = 0;
    }

private:
    // A block of rows plus room for the row that completes it; a field
    // longer than that goes straight to the output.
    static constexpr std::size_t CAPACITY = BLOCK + std::size_t{64} * 1024;
    static constexpr std::size_t NUMBER_ROOM = 32;  // the shortest form of any double, or an int

    char* end() { return buffer_.get() + used_; }
    void reserve(std::size_t bytes)
    {
        if (CAPACITY - used_ < bytes) {
            write(buffer_.get(), used_);
            used_ = 0;
        }
    }
    void put(char c)
    {
        reserve(1);
        buffer_[used_++] = c;
    }
    void append(const char* data, std::size_t size)
    {
        reserve(size);
        if (size > CAPACITY) {
            write(data, size);
            return;
        }
        std::memcpy(end(), data, size);
        used_ += size;
    }
    // A failed write throws OutputError: the first one ends the run.
    static void write(const char* data, std::size_t size) { write_output(std::string_view(data, size)); }

    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

class BatchEvaluator {
public:
    BatchEvaluator(ModuleSession& session, CsvWriter& writer, std::ostream& err)
        : entry_(session.ljungcv().entry), writer_(writer), err_(err)
    {
    }

    // Evaluates one line (without its end of line).
    void line(std::string_view text, std::size_t number)
    {
        std::string_view fields[MAX_FIELDS + 1];
        int count = 0;
        std::size_t i = 0;
        while (i < text.size()) {
            while (i < text.size() && is_separator(text[i])) {
                ++i;
            }
            if (i == text.size()) {
                break;
            }
            if (count == 0 && text[i] == '#') {
                return;  // a comment
            }
            const std::size_t start = i;
            while (i < text.size() && !is_separator(text[i])) {
                ++i;
            }
            if (count <= MAX_FIELDS) {
                fields[count] = text.substr(start, i - start);
            }
            ++count;
        }
        if (count == 0) {
            return;  // a blank line
        }
        if (count < 2 || count > MAX_FIELDS) {
            error_row(fields, count, number,
                      fmt::format("expected 'n alpha [method]', found {} field{}", count, count == 1 ? "" : "s"));
            return;
        }
        const std::optional<double> n = parse_number(fields[0]);
        const std::optional<double> alpha = parse_number(fields[1]);
        if (!n || !alpha) {
            error_row(fields, count, number,
                      fmt::format("'{}' is not a number", !n ? fields[0] : fields[1]));
            return;
        }

        standin::PreparedCall& call = count == 2 ? two_ : three_arguments(fields[2]);
        call.set_number(0, *n);
        call.set_number(1, *alpha);
        if (count == 3) {
            call.set_text(2, fields[2]);
        }
        call.clear_flags();
        double value = 0.0;
        const std::int32_t status = entry_(call.frame(), &value);

        echo_fields(fields, count);
        if (status == STATUS_OK) {
            writer_.number(value);
        }
        writer_.comma();
        writer_.integer(status);
        writer_.end_row();
    }

    bool any_error() const { return errors_ > 0; }

private:
    // The three-argument frame for a method text of this length: one frame
    // per length, so that replacing the text copies it into a buffer of the
    // right size instead of allocating one for every line.
    standin::PreparedCall& three_arguments(std::string_view method)
    {
        if (method.size() >= three_by_length_.size()) {
            return three_;
        }
        std::unique_ptr<standin::PreparedCall>& call = three_by_length_[method.size()];
        if (!call) {
            const standin::Argument arguments[] = {0.0, 0.0, std::string(method)};
            call = std::make_unique<standin::PreparedCall>(arguments);
        }
        return *call;
    }

    void echo_fields(const std::string_view* fields, int count)
    {
        for (int f = 0; f < MAX_FIELDS; ++f) {
            if (f < count) {
                writer_.text(fields[f]);
            }
            writer_.comma();
        }
    }

    void error_row(const std::string_view* fields, int count, std::size_t number, const std::string& why)
    {
        ++errors_;
        fmt::print(err_, "ljungcv eval: line {}: {}\n", number, why);
        echo_fields(fields, count < MAX_FIELDS ? count : MAX_FIELDS);
        writer_.comma();
        writer_.text("error");
        writer_.end_row();
    }

    FunctionEntry entry_;
    CsvWriter& writer_;
    std::ostream& err_;
    std::vector<standin::Argument> two_arguments_{0.0, 0.0};
    std::vector<standin::Argument> three_arguments_{0.0, 0.0, std::string("C")};
    standin::PreparedCall two_{two_arguments_};
    standin::PreparedCall three_{three_arguments_};
    std::array<std::unique_ptr<standin::PreparedCall>, 33> three_by_length_;
    std::size_t errors_ = 0;
};

}  // namespace

int run_eval(const std::filesystem::path& module, const std::string& file, std::ostream& err)
{
    ModuleSession session(module);
    session.ljungcv();  // a module without LJUNGCV fails before any input is read

    std::FILE* in = stdin;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> opened(nullptr, &std::fclose);
    if (!file.empty() && file != "-") {
        opened.reset(std::fopen(file.c_str(), "rb"));
        if (!opened) {
            fmt::print(err, "ljungcv eval: cannot read '{}': {}\n", file, std::strerror(errno));
            return EXIT_BAD_INPUT;
        }
        in = opened.get();
    }

    CsvWriter writer;
    writer.text("n,alpha,method,value,status");
    writer.end_row();
    BatchEvaluator evaluator(session, writer, err);

    std::unique_ptr<char[]> block(new char[BLOCK]);
    std::string carry;  // a line split across two blocks
    std::size_t line_number = 0;
    while (true) {
        const std::size_t got = std::fread(block.get(), 1, BLOCK, in);
        std::string_view data(block.get(), got);
        while (!data.empty()) {
            const std::size_t end = data.find('\n');
            if (end == std::string_view::npos) {
                carry.append(data);
                break;
            }
            ++line_number;
            if (carry.empty()) {
                evaluator.line(data.substr(0, end), line_number);
            } else {
                carry.append(data.substr(0, end));
                evaluator.line(carry, line_number);
                carry.clear();
            }
            data.remove_prefix(end + 1);
        }
        if (got < BLOCK) {
            break;
        }
    }
    if (std::ferror(in)) {
        fmt::print(err, "ljungcv eval: error reading {}\n", file.empty() || file == "-" ? "standard input" : file);
        return EXIT_BAD_INPUT;
    }
    if (!carry.empty()) {
        evaluator.line(carry, ++line_number);
    }
    writer.flush();
    return evaluator.any_error() ? EXIT_BAD_INPUT : EXIT_VALUE;
}

}  // namespace ljungcv
