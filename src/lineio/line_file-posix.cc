// Line files on POSIX: the input file (buffered reading, the look-ahead
// that tells an LF file, the checks made before its replace) and the
// writing of the work file. The rest of the work file's life (staging,
// durability, the put in place, the leave) is in work_file-posix.cc.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "lineio/closer.h"
#include "lineio/console.h"
#include "lineio/directory.h"
#include "lineio/errors.h"
#include "lineio/exclusive_open-posix.h"
#include "lineio/line_file.h"

namespace rodozerez {
namespace {

constexpr std::size_t kReadBufferSize = kLineBufferSize;
constexpr std::size_t kWriteBufferSize = kLineBufferSize;
constexpr char kEndOfData = 26;

void write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = retry_interrupted([&] { return write(fd, data, size); });
    if (n < 0) fail_with_errno(errno);
    if (n == 0) throw NumberedError(kDiskFull);
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// Up to `size` bytes from `offset` on, without moving the file's position;
// 0 at the end of the file.
std::size_t read_at(const FileDescriptor& fd, char* into, std::size_t size, off_t offset) {
  ssize_t n = retry_interrupted([&] { return pread(fd.get(), into, size, offset); });
  if (n < 0) fail_with_errno(errno);
  return static_cast<std::size_t>(n);
}

// Hands `each` the whole file as it is on disk now, piece by piece through
// `buffer` (kReadBufferSize bytes), without moving the reading position.
template <typename Each>
void read_whole_file(const FileDescriptor& fd, char* buffer, Each each) {
  for (off_t offset = 0;;) {
    std::size_t size = read_at(fd, buffer, kReadBufferSize, offset);
    if (size == 0) return;
    each(std::string_view(buffer, size));
    offset += static_cast<off_t>(size);
  }
}

}  // namespace

// ---- InputFile ------------------------------------------------------------

// Byte 26 ends the data: it is looked for once per refill, so each line
// needs only the search for its CR. `stop_` is where the data of the buffer
// ends, at byte 26 or at the end of what was read.
bool InputFile::refill() {
  ssize_t n = retry_interrupted([&] { return read(fd_.get(), buffer_.get(), kReadBufferSize); });
  if (n < 0) fail_with_errno(errno);
  pos_ = 0;
  end_ = static_cast<std::size_t>(n);
  auto* eod = static_cast<const char*>(std::memchr(buffer_.get(), kEndOfData, end_));
  stop_ = eod ? static_cast<std::size_t>(eod - buffer_.get()) : end_;
  return n > 0;
}

std::optional<std::string_view> InputFile::next_line() {
  if (at_end_) return std::nullopt;
  spill_.clear();
  for (;;) {
    if (pos_ == stop_) {
      // A byte 26 is never consumed, so every later read stops at it too.
      bool end_of_data = stop_ < end_ || !refill();
      if (end_of_data) {
        at_end_ = true;
        if (spill_.empty()) return std::nullopt;
        return spill_;
      }
    }
    if (skip_lf_) {
      skip_lf_ = false;
      if (buffer_[pos_] == '\n') {
        ++pos_;
        continue;
      }
    }
    const char* start = buffer_.get() + pos_;
    std::size_t available = stop_ - pos_;
    auto* ending = static_cast<const char*>(std::memchr(start, lf_file_ ? '\n' : '\r', available));
    if (!ending) {
      spill_.append(start, available);
      pos_ = stop_;
      continue;
    }
    std::size_t length = static_cast<std::size_t>(ending - start);
    pos_ += length + 1;
    if (lf_file_) {
      // The LF alone ends the line.
    } else if (pos_ < stop_) {
      if (buffer_[pos_] == '\n') ++pos_;
    } else if (pos_ == end_) {
      skip_lf_ = true;  // the LF, if any, comes with the next refill
    }
    if (spill_.empty()) return std::string_view(start, length);
    spill_.append(start, length);
    return spill_;
  }
}

std::string_view InputFile::read_line() {
  std::optional<std::string_view> line = read_line_or_end();
  if (!line) throw NumberedError(kInputPastEnd);
  return *line;
}

void InputFile::start_over() {
  if (lseek(fd_.get(), 0, SEEK_SET) != 0) fail_with_errno(errno);
  spill_.clear();
  skip_lf_ = at_end_ = false;
  lines_read_ = 0;
  refill();
}

// Whether a CR comes before the end of the data (byte 26 or the end of the
// file). The first buffer almost always tells; a longer file without a CR
// in it is looked through ahead with pread, one buffer at a time, leaving
// the reading position where it is.
bool InputFile::has_cr_before_end_of_data() {
  if (std::memchr(buffer_.get(), '\r', stop_)) return true;
  if (stop_ < end_ || end_ == 0) return false;
  auto ahead = std::make_unique_for_overwrite<char[]>(kReadBufferSize);
  for (off_t offset = static_cast<off_t>(end_);;) {
    std::size_t size = read_at(fd_, ahead.get(), kReadBufferSize, offset);
    if (size == 0) return false;
    if (auto* eod = static_cast<const char*>(std::memchr(ahead.get(), kEndOfData, size))) {
      size = static_cast<std::size_t>(eod - ahead.get());
      return std::memchr(ahead.get(), '\r', size) != nullptr;
    }
    if (std::memchr(ahead.get(), '\r', size)) return true;
    offset += static_cast<off_t>(size);
  }
}

// Only called once the pass is over, so the read buffer is free to reuse.
bool InputFile::is_well_formed() {
  WellFormedCheck check;
  read_whole_file(fd_, buffer_.get(), [&](std::string_view piece) { check.feed(piece); });
  return check.finish();
}

bool InputFile::is_read_only() const {
  return (opened_.mode & 0222) == 0 ||
         faccessat(folder_.fd(), name_.c_str(), W_OK, AT_EACCESS) != 0;
}

bool InputFile::unchanged_since_opened() {
  struct stat now;
  if (fstatat(folder_.fd(), name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) return false;
  // A new owner or new bits move the change time too.
  if (identity_of(now) != opened_) return false;
  return !opened_content_ || content_hash() == *opened_content_;
}

void InputFile::release_buffers() {
  buffer_.reset();
  std::string().swap(spill_);
}

void InputFile::close_replaced() {
  close_replaced_input(std::move(fd_));
}

std::string InputFile::read_end(std::size_t most) {
  std::size_t size = static_cast<std::size_t>(opened_.size);
  std::size_t length = size < most ? size : most;
  // Just opened, a file the first read took whole (a template always) is
  // in the buffer already: no second read.
  if (pos_ == 0 && end_ == size) return std::string(buffer_.get() + size - length, length);
  std::string end(length, '\0');
  std::size_t got = 0;
  while (got < length) {
    std::size_t n =
        read_at(fd_, end.data() + got, length - got, static_cast<off_t>(size - length + got));
    if (n == 0) break;
    got += n;
  }
  end.resize(got);
  return end;
}

// FNV-1a over the whole file as it is on disk now. Its own buffer: the
// read buffer is not there yet when the file is opened, nor any more once
// it is staged.
std::uint64_t InputFile::content_hash() {
  auto chunk = std::make_unique_for_overwrite<char[]>(kReadBufferSize);
  std::uint64_t hash = 14695981039346656037ull;
  read_whole_file(fd_, chunk.get(), [&](std::string_view piece) {
    for (unsigned char c : piece) hash = (hash ^ c) * 1099511628211ull;
  });
  return hash;
}

InputFile InputFile::open(const Folder& folder, const std::string& name) {
  FileDescriptor fd(
      openat(folder.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.is_open()) fail_with_errno(errno, "the file may not be read");
  // O_NONBLOCK keeps a FIFO swapped in under a listed name from hanging the
  // open; on the regular file that it must be, it changes nothing.
  struct stat st;
  require_regular_file(fd, st, kInputNotPlain);
  lock_exclusively(fd, kInputInUse);
  InputFile file;
  file.fd_ = std::move(fd);
  file.folder_ = folder;
  file.name_ = name;
  file.opened_ = identity_of(st);
  if (st.st_mtim.tv_nsec == 0) file.opened_content_ = file.content_hash();
  file.buffer_ = std::make_unique_for_overwrite<char[]>(kReadBufferSize);
  file.refill();
  file.lf_file_ = !file.has_cr_before_end_of_data();
  return file;
}

// ---- WorkFile -------------------------------------------------------------

// A block of the text goes out. Ctrl+C stops the run here, inside the file:
// the file is to be left as it was anyway, so the rest is not worth writing.
void WorkFile::write_block(const char* data, std::size_t size) {
  if (stop_requested()) throw NumberedError(kStoppedByCtrlC);
  write_all(fd_.get(), data, size);
  written_ += size;
  check_->feed({data, size});
}

// The guard parses each piece once it is in the file. On the last flush
// the disk's writeback is started first, so that the parse overlaps it.
void WorkFile::flush(bool start_writeback) {
  std::size_t size = std::exchange(used_, 0);
  if (size > 0) write_all(fd_.get(), buffer_.get(), size);
  written_ += size;
#ifdef SYNC_FILE_RANGE_WRITE
  if (start_writeback) (void)sync_file_range(fd_.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  if (size > 0) check_->feed({buffer_.get(), size});
}

void WorkFile::append(std::string_view bytes) {
  if (bytes.size() > kWriteBufferSize - used_) {
    write_block(buffer_.get(), std::exchange(used_, 0));
    // A piece larger than the buffer goes out directly, uncopied.
    if (bytes.size() >= kWriteBufferSize) return write_block(bytes.data(), bytes.size());
  }
  std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
}

void WorkFile::write_line(std::string_view text) {
  // The usual short line: one copy and its line end, no further checks.
  std::size_t size = text.size() + line_end_.size();
  if (size <= kWriteBufferSize - used_) {
    char* at = buffer_.get() + used_;
    std::memcpy(at, text.data(), text.size());
    std::memcpy(at + text.size(), line_end_.data(), line_end_.size());
    used_ += size;
    return;
  }
  append(text);
  append(line_end_);
}

void WorkFile::write_line(std::initializer_list<std::string_view> pieces) {
  for (auto piece : pieces) append(piece);
  append(line_end_);
}

WorkFile WorkFile::on(FileDescriptor fd, const Folder& folder, bool named) {
  struct stat st;
  lock_exclusively(fd, kWorkFileInUse);
  require_regular_file(fd, st, kWorkFileNotPlain);
  WorkFile file;
  file.fd_ = std::move(fd);
  file.folder_ = folder;
  file.named_ = named;
  file.owner_ = st.st_uid;
  file.group_ = st.st_gid;
  file.buffer_ = std::make_unique_for_overwrite<char[]>(kWriteBufferSize);
  file.check_.emplace();
  return file;
}

namespace {

// A new file named "tempxxx.xxx" in `folder`: O_EXCL never opens what is
// there already, nor follows a link.
FileDescriptor create_work_file(const Folder& folder) {
  return FileDescriptor(openat(folder.fd(), kWorkFileName.data(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
}

}  // namespace

WorkFile WorkFile::create(const Folder& folder) {
  FileDescriptor fd = create_work_file(folder);
  if (!fd.is_open() && errno == EEXIST) {
    remove_left_over_work_file(folder);
    fd = create_work_file(folder);
    if (!fd.is_open() && errno == EEXIST) {
      throw NumberedError(kFileExists, "another program made tempxxx.xxx again meanwhile");
    }
  }
  if (!fd.is_open()) fail_with_errno(errno, kFolderNotWritable);
  return on(std::move(fd), folder, true);
}

WorkFile WorkFile::create_unnamed(const Folder& folder) {
  FileDescriptor fd(openat(folder.fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (!fd.is_open()) {
    // No O_TMPFILE here (NFS, FUSE, older kernels), or no descriptor left.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == EMFILE ||
        errno == ENFILE) {
      return {};
    }
    fail_with_errno(errno, kFolderNotWritable);
  }
  return on(std::move(fd), folder, false);
}

void WorkFile::close() {
  if (!is_open()) return;
  int first = 0;
  try {
    flush();
  } catch (const NumberedError& e) {
    first = e.number();
  }
  int err = fd_.close_checked();
  if (err != 0 && first == 0) first = error_number_for(err);
  used_ = 0;
  if (first != 0) throw NumberedError(first);
}

void close_all_files(InputFile& input, WorkFile& work) {
  input.close();
  work.close();
}

}  // namespace rodozerez
