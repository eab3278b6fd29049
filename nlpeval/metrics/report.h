#ifndef NLPEVAL_METRICS_REPORT_H_
#define NLPEVAL_METRICS_REPORT_H_

// The text layout of a classification report, shared by the flat-label and the chunk-level
// scorers: a header line, an empty line, one row per label, an empty line, the average rows.
// Every line ends with "\n". Names are padded by code points, so CJK labels line up.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "nlpeval/core/score_result.h"

namespace nlpeval::metrics {

struct ReportRow {
  std::string name;
  double precision = 0.0;
  double recall = 0.0;
  double f1 = 0.0;
  int64_t support = 0;
};

// A classification report as numbers: one row per label, then the average rows ("accuracy"
// or "micro avg", "macro avg", "weighted avg"), from which its text is laid out.
struct ReportRows {
  std::vector<ReportRow> labels;
  std::vector<ReportRow> averages;
};

// The label rows as the scores of a result carry them.
std::vector<LabelScore> label_scores(const ReportRows& rows);

// Lays out `labels` and then `averages`. The name column is as wide as the longest name (in
// code points), "weighted avg" (12) and `digits`, whichever is largest. Values show `digits`
// decimals, rounded half to even on the exact binary value. An average row named "accuracy"
// leaves its precision and recall cells blank.
std::string format_report(const std::vector<ReportRow>& labels,
                          const std::vector<ReportRow>& averages, int digits);
std::string format_report(const ReportRows& rows, int digits);

// Sums as numpy sums an array, so that averages equal the reference scorers' to the last bit:
// in order below 8 values, in 8 interleaved partial sums up to 128, halving above. Only the
// last bit can differ from a plain loop, but that bit decides a value lying on a rounding tie
// of the report.
double pairwise_sum(std::span<const double> values);

}  // namespace nlpeval::metrics

#endif  // NLPEVAL_METRICS_REPORT_H_
