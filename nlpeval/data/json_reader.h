#ifndef NLPEVAL_DATA_JSON_READER_H_
#define NLPEVAL_DATA_JSON_READER_H_

namespace nlpeval {}

#endif  // NLPEVAL_DATA_JSON_READER_H_
