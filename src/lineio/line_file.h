// Line files: the input file read forward line by line, and the work file
// "tempxxx.xxx" that holds the rewritten text until it takes the input's
// place.
//
// Byte 26 ends the data for good. A file with a CR anywhere before the end
// of its data is a CR LF file: a line ends at CR LF or at a lone CR, and a
// lone LF stays inside the line. A file without one is an LF file: a line
// ends at LF. The work file's lines end as the input's do. Both files are
// held with an exclusive lock while they are open.
//
// A work file's life is one type's: made fresh in the listed folder,
// written, staged (the guard's verdict, the input's attributes), made
// durable, and then either put in the input's place or left behind. Every
// work file is a new file this run made, private until it takes the
// input's place.
#pragma once

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

// A file as it stood when it was opened: which file it is, and what tells
// an edit made since (size, modification and change times; no program can
// set the change time back), and its owner and permission bits.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_seconds = 0;
  std::int64_t modified_nanoseconds = 0;
  std::int64_t changed_seconds = 0;
  std::int64_t changed_nanoseconds = 0;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  std::uint32_t mode = 0;  // permission bits, set-id and sticky bits

  bool operator==(const FileIdentity&) const = default;
};

// What became of an input whose work file was to replace it.
enum class Replacement {
  kStaged,            // (stage) ready to take its place once durable
  kReplaced,          // the work file took its place
  kNotWellFormed,     // the rewritten text would break a well-formed document
  kChangedElsewhere,  // another program changed or replaced the input meanwhile
};

// The input file being rewritten.
class InputFile {
 public:
  // Opens the existing regular file `name` in `folder` for reading, locked
  // exclusively: 53 when missing, 70 when locked, not a regular file, or
  // unreadable.
  static InputFile open(const Folder& folder, const std::string& name);

  // The next line without its terminator. The view stays valid until the
  // next call. Throws 62 when no byte of a further line is left.
  std::string_view read_line();
  // The same, but nothing at the end of the data instead of 62. (Inline:
  // the pass calls it once a line.)
  std::optional<std::string_view> read_line_or_end() {
    std::optional<std::string_view> line = next_line();
    if (line) ++lines_read_;
    return line;
  }

  // How many lines have been read: at the end, the number of the file's
  // last line.
  std::size_t lines_read() const { return lines_read_; }

  // Goes back to before the first line, to read the file again from there
  // (once the pass has failed, to tell the operator why).
  void start_over();

  // "\n" for an LF file, "\r\n" for every other.
  std::string_view line_end() const { return lf_file_ ? "\n" : "\r\n"; }

  // The last `most` bytes (fewer when the file is shorter), read without
  // moving the reading position.
  std::string read_end(std::size_t most);

  // Whether the whole file, as it is on disk, is well-formed XML.
  bool is_well_formed();

  // Whether the operator may not write it, or it carries no write bit at
  // all (so that root honours the read-only mark too).
  bool is_read_only() const;

  // True while its name still stands for the file that was opened and read,
  // as it was: same file, size, modification and change times, and, where
  // the modification time is of whole seconds (coarse file systems), the
  // same bytes.
  bool unchanged_since_opened();

  const FileIdentity& identity() const { return opened_; }
  const FileDescriptor& descriptor() const { return fd_; }
  const Folder& folder() const { return folder_; }
  const std::string& name() const { return name_; }
  bool is_open() const { return fd_.is_open(); }

  // Frees the buffers: a staged file waits with its descriptor alone.
  void release_buffers();

  // Closes it once a rename has replaced it, on the thread that closes
  // replaced inputs beside the run.
  void close_replaced();

  void close() { fd_.reset(); }

 private:
  std::optional<std::string_view> next_line();
  bool refill();
  bool has_cr_before_end_of_data();
  std::uint64_t content_hash();

  FileDescriptor fd_;
  Folder folder_;     // where it is listed
  std::string name_;  // its name there
  FileIdentity opened_;
  // Its bytes' hash as opened, where its timestamps cannot tell an edit:
  // a modification time of whole seconds.
  std::optional<std::uint64_t> opened_content_;
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
  // Makes a new "tempxxx.xxx" in `folder`, mode 0600, locked exclusively,
  // never through a link. One left behind earlier is never written into:
  // it is removed first, when it is a regular file with one link, not
  // locked by another run, and its name still stands for what was checked;
  // otherwise 70.
  static WorkFile create(const Folder& folder);

  // A new work file without a name yet (O_TMPFILE), in `folder`, locked: for
  // a file staged in a commit group behind the one that holds the name. It
  // takes that name only when its turn comes. A closed WorkFile when none
  // can be made now (a file system without O_TMPFILE, no descriptor left):
  // the caller then goes one file at a time.
  static WorkFile create_unnamed(const Folder& folder);

  // Writes the text and the line end. Once Ctrl+C has asked the run to
  // stop, the next block written throws the stop (kStoppedByCtrlC).
  void write_line(std::string_view text);
  // Writes the pieces one after another as one line, then the line end.
  void write_line(std::initializer_list<std::string_view> pieces);

  // Every line from now on ends with `line_end` ("\r\n" unless set).
  void use_line_end(std::string_view line_end) { line_end_ = line_end; }

  bool is_open() const { return fd_.is_open(); }

  // The bytes written to it so far.
  std::size_t size() const { return written_; }

  // Where and why the text written stops being well-formed XML, once
  // `stage` has found that it does ("line 12, column 5: mismatched tag");
  // empty otherwise.
  const std::string& fault() const { return fault_; }

  // Ends the writing: flushes, starts the writeback, and judges the text.
  // The guard: a rewritten text that is not well-formed XML never replaces
  // an input that is (the input is parsed only then): kNotWellFormed, and
  // the file is to be left. Otherwise it takes the input's owner, group,
  // permission bits, access ACL and extended attributes (before it is made
  // durable, so that a crash never puts it in place without them): kStaged.
  // A read-only input (also for root) is 70. Both files' buffers are freed.
  Replacement stage(InputFile& input);

  // Waits until its data is on disk.
  void make_durable();

  // Puts the durable work file in the input's place in one atomic step:
  // gives an unnamed one the work file's name and renames it over the input,
  // still open and locked, so that no other run can take it over in
  // between. An input another program has changed or replaced since it was
  // opened is left as it is (kChangedElsewhere), both files still open. Any
  // failure leaves the input as it was; both files are closed on success.
  Replacement put_in_place(InputFile& input);

  // A work file that is not to replace its input. One that never took the
  // input's attributes stays behind under the work file's name, private,
  // holding what was written, for the operator to look at. One that did is
  // removed: no name is left wearing another file's owner, bits or ACL.
  // Both files are then closed.
  void leave(InputFile& input);

  // Flushes every line written so far into the file, then closes it; the
  // first failure met is thrown once it is closed.
  void close();

 private:
  // A work file on `fd`, which it locks, in `folder`, where it has or is to
  // take the work file's name.
  static WorkFile on(FileDescriptor fd, const Folder& folder, bool named);

  void append(std::string_view bytes);
  void write_block(const char* data, std::size_t size);
  void flush(bool start_writeback = false);
  void take_name();
  void take_what_the_input_was(const InputFile& input);

  FileDescriptor fd_;
  Folder folder_;
  std::uint32_t owner_ = 0;  // as created, so an fchown to the same is skipped
  std::uint32_t group_ = 0;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::size_t written_ = 0;
  bool named_ = true;                   // false until an unnamed work file takes the name
  bool took_input_attributes_ = false;  // wears the input's owner, bits and ACL
  std::string_view line_end_ = "\r\n";
  // Parses what is written, as it reaches the file.
  std::optional<WellFormedCheck> check_;
  std::string fault_;
};

// Closes both files, the work file flushed first. Both are closed whatever
// happens; the first failure met is thrown after that. With nothing open
// it does nothing.
void close_all_files(InputFile& input, WorkFile& work);

}  // namespace rodozerez
