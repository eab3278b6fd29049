#include "nlpeval/core/version.h"

namespace nlpeval {

// The build passes the project's version, so it is written in one place.
std::string_view version() { return NLPEVAL_VERSION; }

}  // namespace nlpeval
