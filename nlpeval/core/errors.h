#ifndef NLPEVAL_CORE_ERRORS_H_
#define NLPEVAL_CORE_ERRORS_H_

// The exception kinds of nlpeval. Every failure of the library is one of these; nothing in
// the library catches them. Each kind carries its own name, so a front end (the command
// line, the Python bindings) can report "<Kind>: <message>" without a chain of catches.

#include <stdexcept>
#include <string>

namespace nlpeval {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : Error("Error", message) {}

  // The class name of the most derived kind: "TypeError", "KeyError", ...
  const char* kind() const noexcept { return kind_; }

 protected:
  Error(const char* kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

 private:
  const char* kind_;
};

// A value of the wrong kind: the message names the argument or key, the kind expected and
// the kind received.
class TypeError : public Error {
 public:
  explicit TypeError(const std::string& message) : Error("TypeError", message) {}
};

// A value of the right kind that cannot be used (malformed input, unequal lengths, ...).
class ValueError : public Error {
 public:
  explicit ValueError(const std::string& message) : Error("ValueError", message) {}
};

// A key that is not there. `key()` is the key alone; the message is the key in single
// quotes, followed by what was looked up when there is more to say.
class KeyError : public Error {
 public:
  explicit KeyError(const std::string& key, const std::string& detail = "")
      : Error("KeyError", "'" + key + "'" + (detail.empty() ? "" : ": " + detail)),
        key_(key),
        detail_(detail) {}

  const std::string& key() const noexcept { return key_; }
  const std::string& detail() const noexcept { return detail_; }

 private:
  std::string key_;
  std::string detail_;
};

class IndexError : public Error {
 public:
  explicit IndexError(const std::string& message) : Error("IndexError", message) {}
};

// A field of a record that was never set.
class AttributeError : public Error {
 public:
  explicit AttributeError(const std::string& message) : Error("AttributeError", message) {}
};

class ZeroDivisionError : public Error {
 public:
  explicit ZeroDivisionError(const std::string& message) : Error("ZeroDivisionError", message) {}
};

// A file that cannot be opened, read or written; the message names the path.
class FileError : public Error {
 public:
  explicit FileError(const std::string& message) : Error("FileError", message) {}
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_ERRORS_H_
