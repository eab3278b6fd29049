#include "nlpeval/evaluator/badcase/const.h"

namespace nlpeval::badcase {

const nlohmann::ordered_json Const::NONE = nullptr;

}  // namespace nlpeval::badcase
