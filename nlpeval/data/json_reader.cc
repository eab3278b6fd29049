#include "nlpeval/data/json_reader.h"
