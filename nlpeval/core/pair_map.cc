#include "nlpeval/core/pair_map.h"

#include "nlpeval/core/internal/short_strings.h"

namespace nlpeval {

size_t PairKeyHash::operator()(std::string_view key) const {
  return key.size() <= 8 ? ShortStringHash{}(key) : short_strings_detail::hash_long(key);
}

}  // namespace nlpeval
