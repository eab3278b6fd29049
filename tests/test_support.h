#ifndef NLPEVAL_TESTS_TEST_SUPPORT_H_
#define NLPEVAL_TESTS_TEST_SUPPORT_H_

// Small helpers shared by the suites: temporary files and checks on thrown errors.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace nlpeval::testing {

// A file under a fresh temporary folder, removed with the object.
class TempFile {
 public:
  explicit TempFile(std::string_view contents, std::string_view name = "data.txt");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
};

// Runs `body` and returns the message of the exception of type E it throws; fails the test
// when it throws nothing or something else.
template <typename E, typename F>
std::string message_of(F&& body) {
  try {
    body();
  } catch (const E& error) {
    return error.what();
  } catch (const std::exception& other) {
    ADD_FAILURE() << "threw another kind: " << other.what();
    return "";
  }
  ADD_FAILURE() << "threw nothing";
  return "";
}

}  // namespace nlpeval::testing

#endif  // NLPEVAL_TESTS_TEST_SUPPORT_H_
