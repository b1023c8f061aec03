// The key decoder over any bytes from a terminal, with pauses wherever the
// input holds a byte 0 (which is an ignored key anyway). No key may carry a
// control byte; after a pause, an escape sequence leaves nothing behind.
#include <cstdint>

#include "fuzz_support.h"
#include "lineio/key_decoder.h"
#include "lineio/byte_text.h"

using namespace rodozerez;
using fuzzing::check;

namespace {

void check_key(const Key& key) {
  if (key.kind != KeyKind::kCharacter) return;
  check(!key.bytes.empty() && key.bytes.size() <= 4, "a character is one to four bytes");
  auto lead = static_cast<unsigned char>(key.bytes[0]);
  if (key.bytes.size() == 1) {
    check(lead >= 32 && lead != 127, "no control byte in an answer");
  } else {
    check(utf8_sequence_length(key.bytes, 0) == key.bytes.size(), "well-formed UTF-8");
    check(!(lead == 0xC2 && static_cast<unsigned char>(key.bytes[1]) < 0xA0), "no C1 control");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  KeyDecoder decoder;
  std::vector<Key> keys;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      decoder.time_out(keys);
    } else {
      decoder.feed(data[i], keys);
    }
  }
  for (const Key& key : keys) check_key(key);

  // After a pause, arrows, a modified key, a function key and a paste
  // marker vanish whole and only the letter after them counts.
  decoder.time_out(keys);
  check(!decoder.pending(), "nothing pending after a pause");
  keys.clear();
  for (char c : std::string("\x1b[A\x1b[1;5C\x1bOP\x1b[200~z")) {
    decoder.feed(static_cast<unsigned char>(c), keys);
  }
  check(keys.size() == 1 && keys[0].kind == KeyKind::kCharacter && keys[0].bytes == "z",
        "no tail of a sequence lands in the answer");
  return 0;
}
