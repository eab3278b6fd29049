#include "nlpeval/evaluator/badcase/types.h"
