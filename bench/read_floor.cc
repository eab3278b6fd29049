// The read floor of a text input: the time one core needs to read files (from the page cache
// when they were read before) and find their line ends, which no scorer of lines can beat.
//   nlpeval_read_floor FILE...
// Reads each file in 256 KiB chunks into one buffer and finds every "\n" with memchr, as the
// line readers do; prints the lines and bytes seen.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
    return 2;
  }
  std::vector<char> buffer(size_t{256} << 10);
  unsigned long long lines = 0;
  unsigned long long bytes = 0;
  for (int i = 1; i < argc; ++i) {
    std::FILE* file = std::fopen(argv[i], "rb");
    if (file == nullptr) {
      std::perror(argv[i]);
      return 1;
    }
    for (size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0;) {
      bytes += got;
      const char* at = buffer.data();
      const char* end = at + got;
      while (const void* found = std::memchr(at, '\n', static_cast<size_t>(end - at))) {
        ++lines;
        at = static_cast<const char*>(found) + 1;
      }
    }
    std::fclose(file);
  }
  std::printf("%llu lines, %llu bytes\n", lines, bytes);
  return 0;
}
