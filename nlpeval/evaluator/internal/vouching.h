#ifndef NLPEVAL_EVALUATOR_INTERNAL_VOUCHING_H_
#define NLPEVAL_EVALUATOR_INTERNAL_VOUCHING_H_

namespace nlpeval {

// Whether the walk over `pairs` leaves validating to its visits (see StreamedPairs); pairs
// that do not say validate every record.
template <typename Pairs>
bool visits_vouch(const Pairs& pairs) {
  if constexpr (requires { pairs.visits_vouch(); }) {
    return pairs.visits_vouch();
  } else {
    return false;
  }
}

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_INTERNAL_VOUCHING_H_
