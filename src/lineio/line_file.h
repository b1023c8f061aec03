// Line files: the input file read forward line by line, and the work file
// "tempxxx.xxx" that stages the rewritten text until it replaces the input
// (replace_input.h).
//
// Byte 26 ends the data for good. A file with a CR anywhere before the end
// of its data is a CR LF file: a line ends at CR LF or at a lone CR, and a
// lone LF stays inside the line. A file without one is an LF file: a line
// ends at LF. The work file's lines end as the input's do. Both files are
// held with an exclusive lock while they are open.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "lineio/directory.h"
#include "lineio/file_descriptor.h"
#include "lineio/well_formed.h"

namespace rodozerez {

inline constexpr std::string_view kWorkFileName = "tempxxx.xxx";

// The size of the read and write buffers. Fuzz builds make it tiny, so
// that lines cross refills and flushes all the time.
#ifndef RODOZEREZ_BUFFER_SIZE
#define RODOZEREZ_BUFFER_SIZE (128 * 1024)
#endif
inline constexpr std::size_t kLineBufferSize = RODOZEREZ_BUFFER_SIZE;

// What became of an input its work file was to replace (replace_input.h).
enum class Replacement;

// The input file being rewritten.
class InputFile {
 public:
  // The next line without its terminator. The view stays valid until the
  // next call. Throws 62 when no byte of a further line is left.
  std::string_view read_line() {
    std::string_view line = next_line();
    ++lines_read_;
    return line;
  }

  // How many lines have been read: once 62 is thrown, the number of the
  // file's last line.
  std::size_t lines_read() const { return lines_read_; }

  bool is_open() const { return fd_.is_open(); }

  // Goes back to before the first line, to read the file again from there
  // (once the pass has failed, to tell the operator why).
  void start_over();

  // "\n" for an LF file, "\r\n" for every other.
  std::string_view line_end() const { return lf_file_ ? "\n" : "\r\n"; }

 private:
  friend InputFile open_for_reading(const Folder& folder, const std::string& name);
  friend Replacement finish_work_file(class WorkFile& work, InputFile& input);
  friend Replacement put_in_place(class WorkFile& work, InputFile& input);
  friend void close_all_files(InputFile& input, class WorkFile& work);
  friend std::string read_file_end(InputFile& input, std::size_t most);
  friend void take_what_the_input_was(class WorkFile& work, const InputFile& input);

  std::string_view next_line();
  bool refill();
  bool has_cr_before_end_of_data();
  bool is_well_formed();

  FileDescriptor fd_;
  Folder folder_;     // where it is listed
  std::string name_;  // its name there
  // As it was when opened: its owner and bits for the work file, and to
  // tell an edit made by another program since.
  struct stat opened_ {};
  // Its bytes' hash as opened, where its timestamps cannot tell an edit:
  // a modification time of whole seconds (coarse file systems, or an
  // edit that set it back).
  std::optional<std::uint64_t> opened_content_;
  std::uint64_t content_hash();
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::size_t stop_ = 0;  // end of the data in the buffer: byte 26 or end_
  std::string spill_;     // a line that runs across a buffer refill
  bool skip_lf_ = false;  // the last line ended with a CR at the buffer's end
  bool at_end_ = false;   // end of file or byte 26 was met
  bool lf_file_ = false;  // lines end at LF, not at CR
  std::size_t lines_read_ = 0;
};

// The work file: written through a large buffer, since it is only a staging
// copy until it is made durable and put in the input's place.
class WorkFile {
 public:
  // Writes the text and the line end.
  void write_line(std::string_view text);
  // Writes the pieces one after another as one line, then the line end.
  void write_line(std::initializer_list<std::string_view> pieces);

  // Every line from now on ends with `line_end` ("\r\n" unless set).
  void use_line_end(std::string_view line_end) { line_end_ = line_end; }

  bool is_open() const { return fd_.is_open(); }

  // The bytes written to it so far.
  std::size_t size() const { return written_; }

  // Where and why the text written stops being well-formed XML, once
  // finish_work_file has found that it does ("line 12, column 5: mismatched
  // tag"); empty otherwise.
  const std::string& fault() const { return fault_; }

 private:
  friend WorkFile open_for_writing(const Folder& folder);
  friend WorkFile open_unnamed_work_file(const Folder& folder);
  friend Replacement finish_work_file(WorkFile& work, InputFile& input);
  friend void make_durable(WorkFile& work);
  friend Replacement put_in_place(WorkFile& work, InputFile& input);
  friend void leave_work_file(WorkFile& work, InputFile& input);
  friend void take_what_the_input_was(WorkFile& work, const InputFile& input);
  friend void close_all_files(InputFile& input, WorkFile& work);

  // A work file on `fd`, open and locked, in `folder`, where it has or is
  // to take the work file's name.
  static WorkFile on(FileDescriptor fd, const Folder& folder, const struct stat& st, bool named);

  void append(std::string_view bytes);
  void flush(bool start_writeback = false);
  void take_name();

  FileDescriptor fd_;
  Folder folder_;
  uid_t owner_ = 0;  // as created, so an fchown to the same is skipped
  gid_t group_ = 0;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::size_t written_ = 0;
  bool named_ = true;                   // false until an unnamed work file takes the name
  bool took_input_attributes_ = false;  // wears the input's owner and bits
  std::string_view line_end_ = "\r\n";
  // Parses what is written, as it reaches the file.
  std::optional<WellFormedCheck> check_;
  std::string fault_;
};

// Opens the existing regular file `name` in `folder` for reading, locked
// exclusively: 53 when missing, 70 when locked, not a regular file, or
// unreadable.
InputFile open_for_reading(const Folder& folder, const std::string& name);

// Creates or empties "tempxxx.xxx" in `folder`, mode 0600, locked
// exclusively. It is never opened through a symbolic link: a link or any
// other non-regular entry of that name gives 70.
WorkFile open_for_writing(const Folder& folder);

// A work file without a name yet, in `folder` (O_TMPFILE), locked: for
// a file staged in a commit group behind the one that holds the name
// "tempxxx.xxx". It takes that name only when its turn comes. Returns a
// closed WorkFile when none can be made now (a file system without
// O_TMPFILE, no descriptor left): the caller then goes one file at a time.
WorkFile open_unnamed_work_file(const Folder& folder);

// The last `most` bytes of the input (fewer when it is shorter), read
// without moving its reading position.
std::string read_file_end(InputFile& input, std::size_t most);

// Flushes the work file so every line written so far is in it, then closes
// both files. Both are closed whatever happens; the first failure met is
// thrown after that. With nothing open it does nothing.
void close_all_files(InputFile& input, WorkFile& work);

}  // namespace rodozerez
