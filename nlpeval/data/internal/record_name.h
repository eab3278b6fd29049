#ifndef NLPEVAL_DATA_INTERNAL_RECORD_NAME_H_
#define NLPEVAL_DATA_INTERNAL_RECORD_NAME_H_

// How both validators name a record in their messages.

#include <cstdint>
#include <string>
#include <string_view>

namespace nlpeval {

// "<origin>: record <n>" with n the 1-based number of the record at `index`.
inline std::string record_name(int64_t index, std::string_view origin) {
  std::string name;
  if (!origin.empty()) name.append(origin).append(": ");
  // index + 1, unsigned where it could overflow.
  std::string number =
      index < 0 ? std::to_string(index + 1) : std::to_string(static_cast<uint64_t>(index) + 1);
  return name + "record " + number;
}

}  // namespace nlpeval

#endif  // NLPEVAL_DATA_INTERNAL_RECORD_NAME_H_
