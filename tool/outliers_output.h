// What `ljungcv outliers` reads from its options and writes for one
// series' result, shared by the one-series command and its --by form over
// many series.
#ifndef LJUNGCV_OUTLIERS_OUTPUT_H
#define LJUNGCV_OUTLIERS_OUTPUT_H

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "core/outlier_procedure.h"
#include "output_formats.h"
#include "platform/output_buffer.h"
#include "series_input.h"

namespace ljungcv {

struct OutliersRequest {
    core::ArimaOrder order;
    core::OutlierOptions options;
    OutputFormat format = OutputFormat::text;
    std::optional<std::string> by;  // the id column of a long file of many series
    unsigned workers = 0;           // --by's threads; 0: one per core
};

// The period an identified model's season may have (--period).
inline constexpr int MAX_PERIOD = 366;

// The model (an order, or the period of one to identify), the procedure's
// options and the format; throws OptionError.
OutliersRequest checked_outliers_request(const OutliersOptions& given);

// The outliers and the model as text.
void write_outliers_text(platform::OutputBuffer& out, const Series& series, const OutliersRequest& request,
                         const core::OutlierResult& result);

// The CSV columns of write_outliers_csv_rows, without a line end.
inline constexpr const char* OUTLIERS_CSV_COLUMNS = "index,time,value,adjusted,outlier,effect,t";

// One CSV row per time, each between `before` and `after` (fields of the
// caller's, with their commas).
void write_outliers_csv_rows(platform::OutputBuffer& out, const Series& series, const core::OutlierResult& result,
                             std::string_view before, std::string_view after);

// The result as one JSON object: the model, the critical value, the counts,
// the cautions, the outliers and the series.
nlohmann::ordered_json outliers_document(const Series& series, const OutliersRequest& request,
                                         const core::OutlierResult& result);

// The members of `object`, one a line after `indent`, and the elements of
// an array of objects one a line, indented once more; without the braces.
void write_json_members(platform::OutputBuffer& out, const nlohmann::ordered_json& object, std::string_view indent);

// What a reader of the result should know, one note each.
std::vector<std::string> outliers_notes(const core::OutlierResult& result);

// How the model was identified, for a format that does not say it (CSV);
// none for the others or for a model given.
std::vector<std::string> model_notes(const OutliersRequest& request, const core::OutlierResult& result);

// ljungcv outliers --by COLUMN: every series of the long file `in` (`name`
// in messages, escaped), in chunks through the core's batch.
int run_outliers_by(const core::LoadedModule& module, std::FILE* in, const std::string& name,
                    const OutliersRequest& request, std::ostream& err);

}  // namespace ljungcv

#endif
