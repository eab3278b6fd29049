#include "nlpeval/evaluator/miner_kinds.h"
