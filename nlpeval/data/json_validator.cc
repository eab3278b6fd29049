#include "nlpeval/data/json_validator.h"
