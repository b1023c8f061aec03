// Turns the bytes a terminal sends for keys into the keys of a typed line.
//
// Only characters, Enter and Backspace count. Everything else a terminal
// sends is dropped whole: escape sequences (arrows, function keys, modified
// keys such as ESC [ 1 ; 5 C, Alt+key, bracketed-paste markers), other
// control bytes, and a lone Escape, which is told from the start of a
// sequence by the short wait after it (`time_out`). So no tail such as "[A"
// or "5~" ever lands in an answer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace rodozerez {

enum class KeyKind { kEnter, kBackspace, kCharacter };

struct Key {
  KeyKind kind;
  std::string bytes;  // for kCharacter: one UTF-8 sequence, or one stray byte
};

class KeyDecoder {
 public:
  // Takes the next byte from the terminal; appends the keys it completes.
  void feed(unsigned char byte, std::vector<Key>& keys);

  // No byte came within the short wait: a lone Escape is taken as a key of
  // its own (and ignored), a cut sequence is given up.
  void time_out(std::vector<Key>& keys);

  // True while a byte is awaited to complete a key, so the caller should
  // wait only briefly and then call `time_out`.
  bool pending() const { return state_ != State::kGround; }

 private:
  enum class State { kGround, kEscape, kCsi, kSs3, kUtf8 };

  void ground(unsigned char byte, std::vector<Key>& keys);
  void flush_utf8_as_stray_bytes(std::vector<Key>& keys);
  // A UTF-8 sequence begins; after Escape it is Alt with a key, dropped.
  void start_utf8(unsigned char lead, bool after_escape);

  State state_ = State::kGround;
  std::string utf8_;                // a UTF-8 sequence being collected
  std::size_t utf8_length_ = 0;     // its expected length
  bool utf8_after_escape_ = false;  // Alt with a non-ASCII key: dropped
  bool after_cr_ = false;           // an LF right after CR is the same Enter
};

}  // namespace rodozerez
