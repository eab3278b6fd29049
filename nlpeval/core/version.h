#ifndef NLPEVAL_CORE_VERSION_H_
#define NLPEVAL_CORE_VERSION_H_

#include <string_view>

namespace nlpeval {

// The library's version, "MAJOR.MINOR.PATCH", as the build was configured with.
std::string_view version();

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_VERSION_H_
