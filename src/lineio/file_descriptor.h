// An open file descriptor with one owner. Moving hands the descriptor on
// and leaves the source empty, so types that hold one can default their
// moves and never lose a member copied by hand.
#pragma once

#include <cerrno>
#include <utility>

namespace rodozerez {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~FileDescriptor() { reset(); }

  int get() const { return fd_; }
  // Hands the descriptor over, open, to the caller.
  int release() { return std::exchange(fd_, -1); }
  bool is_open() const { return fd_ >= 0; }

  // Closes the descriptor, ignoring the result: for files only read, and
  // for paths that already report an error of their own. A close whose
  // result matters goes through `close_checked`.
  void reset();

  // Closes the descriptor; returns the errno of a failed close, or 0.
  int close_checked();

 private:
  int fd_ = -1;
};

// Makes `call` again while it fails with EINTR: a signal that arrived
// during the call is no failure of it. Returns the last call's result.
template <typename Call>
auto retry_interrupted(Call call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

}  // namespace rodozerez
