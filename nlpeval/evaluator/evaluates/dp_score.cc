#include "nlpeval/evaluator/evaluates/dp_score.h"
