// Numbered runtime errors.
//
// Every failure of a file, directory or console operation is reported as one
// of a small set of error numbers; the operator sees only the number. The
// driver tells the input-past-end condition (62) apart from all others: it
// skips that file and halts the run on anything else.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>

namespace rodozerez {

// Error numbers the operations report.
inline constexpr int kNoMemory = 7;             // no memory for a text
inline constexpr int kFileNotFound = 53;        // file not found
inline constexpr int kFileExists = 58;          // rename target exists
inline constexpr int kDiskFull = 61;            // disk full, quota, size limit
inline constexpr int kInputPastEnd = 62;        // read found no line left
inline constexpr int kTooManyFiles = 67;        // too many open files
inline constexpr int kPermissionDenied = 70;    // access, lock or type refused
inline constexpr int kMediaError = 72;          // I/O error
inline constexpr int kCrossDevice = 74;         // rename across file systems
inline constexpr int kOtherAccessFailure = 75;  // anything else
inline constexpr int kPathNotFound = 76;        // a directory on the path is missing
// Not a failure and never shown: Ctrl+C stopped the run inside a file,
// which is then left as it was.
inline constexpr int kStoppedByCtrlC = 256;

// The one exception type: thrown by the line layer (and, for 62, the
// rewrite pass), caught by the driver. It carries its number and what it
// is about: the cause in the operator's words where the thrower knows it
// ("the file is read-only"), the landmark the pass was looking for when the
// input ended (62), and the listed file it belongs to (a failure while
// committing a group of staged files).
class NumberedError : public std::exception {
 public:
  static constexpr std::size_t kNoFile = static_cast<std::size_t>(-1);

  // `cause` is a text that lives as long as the program (a literal).
  explicit NumberedError(int number, std::string_view cause = {})
      : number_(number), cause_(cause) {}
  int number() const { return number_; }
  // What went wrong, in words: the cause given, else the number's meaning.
  std::string_view cause() const;
  std::size_t file() const { return file_; }
  std::string_view landmark() const { return landmark_; }
  // The same error, said to belong to listed file `file`.
  NumberedError about_file(std::size_t file) const {
    NumberedError e = *this;
    e.file_ = file;
    return e;
  }
  // The same error, met while looking for `landmark` (a literal's text).
  NumberedError looking_for(std::string_view landmark) const {
    NumberedError e = *this;
    e.landmark_ = landmark;
    return e;
  }
  const char* what() const noexcept override { return "numbered runtime error"; }

 private:
  int number_;
  std::string_view cause_;
  std::string_view landmark_;
  std::size_t file_ = kNoFile;
};

// What an error number means, in the operator's words ("the disk is full,
// or a quota or a file-size limit is reached").
std::string_view error_words(int number);

// The error number for an errno value. (A missing folder, 76 rather than
// 53, is told apart where the folder is opened.)
int error_number_for(int errno_value);

// Throws the error number for `errno_value`, with its cause in words;
// `refused`, where given, says what a refused permission (EACCES, EPERM)
// means at the caller ("the folder may not be written").
[[noreturn]] void fail_with_errno(int errno_value, std::string_view refused = {});

}  // namespace rodozerez
