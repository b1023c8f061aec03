#include "lineio/byte_text.h"

namespace rodozerez {

std::size_t find_text(std::size_t start, std::string_view text, std::string_view pattern) {
  if (start == 0 || text.empty() || start > text.size()) return 0;
  if (pattern.empty()) return start;
  auto at = text.find(pattern, start - 1);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::string_view trimmed(std::string_view line) {
  auto first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

std::string_view leading_blanks(std::string_view line) {
  auto end = line.find_first_not_of(" \t");
  return end == std::string_view::npos ? line : line.substr(0, end);
}

std::string upper_case(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') {
      c = static_cast<char>(b - 32);
      continue;
    }
    // Code page 437 lower-case letters with a capital of their own.
    switch (b) {
      case 0x84: c = static_cast<char>(0x8E); break;  // a umlaut
      case 0x94: c = static_cast<char>(0x99); break;  // o umlaut
      case 0x81: c = static_cast<char>(0x9A); break;  // u umlaut
      case 0x82: c = static_cast<char>(0x90); break;  // e acute
      case 0xA4: c = static_cast<char>(0xA5); break;  // n tilde
      case 0x86: c = static_cast<char>(0x8F); break;  // a ring
      case 0x87: c = static_cast<char>(0x80); break;  // c cedilla
      default: break;
    }
  }
  return out;
}

std::string format_count(std::size_t count) {
  std::string digits = std::to_string(count);
  if (digits.size() >= 6) return digits;
  return std::string(6 - digits.size(), ' ') + digits;
}

std::string number_text(long number) {
  std::string digits = std::to_string(number < 0 ? -number : number);
  return (number < 0 ? "-" : " ") + digits + " ";
}

std::size_t utf8_length_from_lead(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool is_c1_control(std::string_view sequence) {
  return sequence.size() == 2 && sequence[0] == '\xC2' &&
         static_cast<unsigned char>(sequence[1]) < 0xA0;
}

std::size_t utf8_sequence_length(std::string_view text, std::size_t at) {
  auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  std::size_t n = utf8_length_from_lead(b(0));
  if (n == 0) return 0;
  // The range of the first continuation byte rules out overlong forms,
  // surrogates and code points past U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (b(0) == 0xE0) low = 0xA0;
  if (b(0) == 0xED) high = 0x9F;
  if (b(0) == 0xF0) low = 0x90;
  if (b(0) == 0xF4) high = 0x8F;
  if (at + n > text.size() || b(1) < low || b(1) > high) return 0;
  for (std::size_t i = 2; i < n; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
  }
  return n;
}

}  // namespace rodozerez
