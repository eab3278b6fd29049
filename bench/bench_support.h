#ifndef NLPEVAL_BENCH_BENCH_SUPPORT_H_
#define NLPEVAL_BENCH_BENCH_SUPPORT_H_

// What every benchmark reports besides its time.

#include <sys/resource.h>

namespace nlpeval::bench {

// The process's peak resident memory so far, in MB.
inline double peak_megabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

}  // namespace nlpeval::bench

#endif  // NLPEVAL_BENCH_BENCH_SUPPORT_H_
