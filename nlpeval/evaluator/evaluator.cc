#include "nlpeval/evaluator/evaluator.h"
