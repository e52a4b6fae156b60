// eval's header rules: what each line of an input is, and that none is lost.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "csv.h"
#include "eval_lines.h"

namespace ljungcv {
namespace {

// Each record of `text` as one word: "h" a header, "n|alpha|method" a data
// line's fields ("-" where alpha is not given), "skip" a line under a header
// in error, or the error's message.
std::vector<std::string> kinds(std::string_view text, bool alpha_given)
{
    CsvReader reader(text, 64);
    InputLines lines(alpha_given);
    CsvRecord record;
    std::vector<std::string> words;
    while (reader.next(record) == CsvReader::Got::record) {
        LineFields fields;
        std::string why;
        switch (lines.take(record, fields, why)) {
        case InputLines::Kind::header:
            words.emplace_back("h");
            break;
        case InputLines::Kind::data:
            words.push_back(std::string(fields.n) + "|" + (fields.alpha_given ? std::string(fields.alpha) : "-") + "|" +
                            std::string(fields.method));
            break;
        case InputLines::Kind::skipped:
            words.emplace_back("skip");
            break;
        case InputLines::Kind::error:
            words.push_back(why);
            break;
        }
    }
    return words;
}

TEST(EvalLines, HeaderRulesAndDataLines)
{
    const std::string no_alpha =
        "the header names no alpha column: add one, or give the level of every line with --alpha";
    const struct {
        const char* text;
        bool alpha_given;
        std::vector<std::string> words;
    } cases[] = {
        // By position: n, alpha and method; n alone with --alpha.
        {"10 0.05\n100,0.01,L\n", false, {"10|0.05|", "100|0.01|L"}},
        {"10\n7 0.01\n", true, {"10|-|", "7|0.01|"}},
        {"10\n", false, {"expected 'n alpha [method]', found 1 field"}},
        {"1 2 3 4\n", true, {"expected 'n alpha [method]' or 'n', found 4 fields"}},
        // A header names its columns anywhere, in any case, among others.
        {"\"\",\"n\",\"alpha\",\"method\"\n\"1\",10,0.05,\"L\"\n", false, {"h", "10|0.05|L"}},
        {"method;x,ALPHA,N,extra\nL;1,0.05,7,9\n", false, {"h", "7|0.05|"}},
        {"id n\n3 10\n", true, {"h", "10|-|"}},
        // Every field of a line is read, however many.
        {"a,b,c,d,e,f,g,h,i,j,k,l,m,o,n,alpha,method\n0,0,0,0,0,0,0,0,0,0,0,0,0,0,10,0.05,L\n", false,
         {"h", "10|0.05|L"}},
        // A data line has the header's number of fields, never fewer or more.
        {"n,alpha,method\n10,0.05\n10,0.05,L,x\n", false,
         {"h", "found 2 fields where the header has 3", "found 4 fields where the header has 3"}},
        // Decimal commas where blanks separate the fields.
        {"n\talpha\n10\t0,05\n", false,
         {"h", "a comma between digits where fields are separated by blanks: the file seems to use decimal commas, "
               "which eval does not read (write 0.05, not 0,05)"}},
        {"10 0,05\n", false,
         {"a comma between digits where fields are separated by blanks: the file seems to use decimal commas, which "
          "eval does not read (write 0.05, not 0,05)"}},
        // A header in error: a column twice, or no alpha without --alpha; the rest is not evaluated.
        {"n,n,alpha\n10,20,0.05\n30,40,0.01\n", false,
         {"the header names column n twice (fields 1 and 2); which one is meant?", "skip", "skip"}},
        {"n,alpha,Alpha\n10,0.05,0.01\n", false,
         {"the header names column alpha twice (fields 2 and 3); which one is meant?", "skip"}},
        {"METHOD,n,alpha,method\n", false,
         {"the header names column method twice (fields 1 and 4); which one is meant?"}},
        {"x,n\n1,10\n", false, {no_alpha, "skip"}},
        {"x,n\n1,10\n", true, {"h", "10|-|"}},
        // A first line is a header only by the rule; else data or an error row.
        {"10,0.05,n\n20,0.05\n", false,
         {"neither a header nor data: it has a field n and the number '10'; a header has names only, a data line n, "
          "alpha and method in that order",
          "20|0.05|"}},
        {"alpha,method\n10,0.05,L\n", false, {"a header needs a column n", "10|0.05|L"}},
        // A first line of names, none known, is a header eval does not know.
        {"series,length,level\n1,10,0.05\n", false,
         {"unknown header 'series,length,level': eval reads the columns n, alpha and method (any case, any order, "
          "other columns left alone) and needs n and alpha (or --alpha)",
          "skip"}},
        {"x,,y\n10,0.05\n", true,
         {"unknown header 'x,,y': eval reads the columns n, alpha and method (any case, any order, other columns "
          "left alone) and needs n",
          "skip"}},
        {"NA,NA\n10,0.05\n", false, {"NA|NA|", "10|0.05|"}},  // R's missing values are data
        {"x,0.05\n10,0.05\n", false, {"x|0.05|", "10|0.05|"}},
        // Semicolons between fields are named wherever they make a line wrong.
        {"n;alpha\n10;0.05\n", false,
         {"fields are separated by commas or blanks, not by semicolons: 'n;alpha' is one field",
          "fields are separated by commas or blanks, not by semicolons: '10;0.05' is one field"}},
        {"n,alpha\n10;0.05\n", false, {"h", "fields are separated by commas or blanks, not by semicolons: '10;0.05' is one field"}},
        {"10;0.05\n", true, {"fields are separated by commas or blanks, not by semicolons: '10;0.05' is one field"}},
        {"n,alpha,method\n10,0.05,C;L\n", false,
         {"h", "fields are separated by commas or blanks, not by semicolons: 'C;L' is one field"}},
        // Only a first line can be a header.
        {"10 0.05\nn alpha\n", false, {"10|0.05|", "n|alpha|"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kinds(c.text, c.alpha_given), c.words) << c.text;
    }
}

TEST(EvalLines, SkippedLinesAreNamedOnce)
{
    CsvReader reader("n,n,alpha\n1,2,3\n\n4,5,6\n\"7\n\",8,9\n", 64);
    InputLines lines(false);
    CsvRecord record;
    LineFields fields;
    std::string why;
    std::vector<InputLines::Kind> got;
    while (reader.next(record) == CsvReader::Got::record) {
        got.push_back(lines.take(record, fields, why));
    }
    EXPECT_EQ(got.size(), 4U);
    EXPECT_EQ(lines.skipped_lines(), "lines 2-6: not evaluated, because the header on line 1 is in error");
}

}  // namespace
}  // namespace ljungcv
