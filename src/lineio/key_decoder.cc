#include "lineio/key_decoder.h"

#include "lineio/byte_text.h"

namespace rodozerez {
namespace {

constexpr unsigned char kEscape = 27;

}  // namespace

void KeyDecoder::flush_utf8_as_stray_bytes(std::vector<Key>& keys) {
  if (!utf8_after_escape_) {
    for (char c : utf8_) keys.push_back({KeyKind::kCharacter, std::string(1, c)});
  }
  utf8_.clear();
  state_ = State::kGround;
}

void KeyDecoder::start_utf8(unsigned char lead, bool after_escape) {
  utf8_.assign(1, static_cast<char>(lead));
  utf8_length_ = utf8_length_from_lead(lead);
  utf8_after_escape_ = after_escape;
  state_ = State::kUtf8;
}

void KeyDecoder::ground(unsigned char byte, std::vector<Key>& keys) {
  bool lf_of_crlf = byte == '\n' && after_cr_;
  after_cr_ = byte == '\r';
  if (byte == '\r' || (byte == '\n' && !lf_of_crlf)) {
    // A lone LF is Enter too: typed ahead before raw mode was on, the
    // terminal had already turned Enter into LF.
    keys.push_back({KeyKind::kEnter, {}});
  } else if (byte == 8 || byte == 127) {
    keys.push_back({KeyKind::kBackspace, {}});
  } else if (byte == kEscape) {
    state_ = State::kEscape;
  } else if (byte < 32) {
    // Tab, Ctrl+C and every other control key: ignored.
  } else if (byte < 128) {
    keys.push_back({KeyKind::kCharacter, std::string(1, static_cast<char>(byte))});
  } else if (utf8_length_from_lead(byte)) {
    start_utf8(byte, false);
  } else {
    keys.push_back({KeyKind::kCharacter, std::string(1, static_cast<char>(byte))});
  }
}

void KeyDecoder::feed(unsigned char byte, std::vector<Key>& keys) {
  switch (state_) {
    case State::kGround:
      ground(byte, keys);
      return;
    case State::kEscape:
      after_cr_ = false;
      if (byte == '[') {
        state_ = State::kCsi;
      } else if (byte == 'O') {
        state_ = State::kSs3;
      } else if (byte == kEscape) {
        // The first Escape was a key of its own; this one may start a sequence.
      } else if (utf8_length_from_lead(byte)) {
        start_utf8(byte, true);
      } else {
        state_ = State::kGround;  // Alt with a key: dropped with its key
      }
      return;
    case State::kCsi:
      // Parameter and intermediate bytes go on; a final byte ends it; any
      // other byte cuts the sequence and counts on its own.
      if (byte >= 0x40 && byte <= 0x7E) {
        state_ = State::kGround;
      } else if (byte < 0x20 || byte > 0x7E) {
        state_ = State::kGround;
        ground(byte, keys);
      }
      return;
    case State::kSs3:
      state_ = State::kGround;
      return;
    case State::kUtf8:
      if ((byte & 0xC0) != 0x80) {
        flush_utf8_as_stray_bytes(keys);
        ground(byte, keys);
        return;
      }
      utf8_ += static_cast<char>(byte);
      if (utf8_.size() < utf8_length_) return;
      // Malformed, or a C1 control (C2 80 to C2 9F): one stray byte each.
      if (utf8_sequence_length(utf8_, 0) != utf8_.size() || is_c1_control(utf8_)) {
        flush_utf8_as_stray_bytes(keys);
        return;
      }
      if (!utf8_after_escape_) keys.push_back({KeyKind::kCharacter, utf8_});
      utf8_.clear();
      state_ = State::kGround;
      return;
  }
}

void KeyDecoder::time_out(std::vector<Key>& keys) {
  if (state_ == State::kUtf8) {
    flush_utf8_as_stray_bytes(keys);
    return;
  }
  state_ = State::kGround;
}

}  // namespace rodozerez
