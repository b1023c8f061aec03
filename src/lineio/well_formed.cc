#include "lineio/well_formed.h"

#include <expat.h>

#include <climits>
#include <new>
#include <random>
#include <string>

namespace rodozerez {

void WellFormedCheck::ParserFree::operator()(XML_ParserStruct* parser) const {
  XML_ParserFree(parser);
}

namespace {

// The salt of the parser's hash tables, which keeps a document from being
// made to collide in them. Expat draws a fresh one from the kernel for
// every parser, a system call per file; one unpredictable salt per run
// protects as well.
unsigned long run_salt() {
  static const unsigned long salt = [] {
    std::random_device source;
    return (static_cast<unsigned long>(source()) << 32) ^ source();
  }();
  return salt;
}

}  // namespace

// No handlers are set: expat checks well-formedness on its own, and without
// an external entity handler it never opens anything outside the document.
WellFormedCheck::WellFormedCheck() : parser_(XML_ParserCreate(nullptr)) {
  if (!parser_) throw std::bad_alloc();
  XML_SetHashSalt(parser_.get(), run_salt());
  XML_SetParamEntityParsing(parser_.get(), XML_PARAM_ENTITY_PARSING_NEVER);
}

// Expat copies each piece it is given into its own buffer before parsing
// it, so a huge line goes in small parts: the parser then holds no more
// than a part and its longest unfinished token.
constexpr std::size_t kMostPerParse = 64 * 1024;

void WellFormedCheck::parse(std::string_view part, bool last) {
  if (XML_Parse(parser_.get(), part.data(), static_cast<int>(part.size()), last) != XML_STATUS_OK) {
    if (XML_GetErrorCode(parser_.get()) == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
    note_fault();
  }
  fed_ += part.size();
  auto at = XML_GetCurrentByteIndex(parser_.get());
  unparsed_ = at < 0 ? 0 : fed_ - static_cast<unsigned long long>(at);
}

// Expat (before 2.6) scans an unfinished token again from its start on
// every part it is fed, which makes one long token (a comment or an
// attribute value of many megabytes) cost the square of its length. So
// while the parser holds more than a part unparsed, bytes are held back
// until there are at least as many again, and go in as one part: the token
// is scanned a few times over, not once per 64 KB.
void WellFormedCheck::feed(std::string_view bytes) {
  if (!fault_.empty()) return;
  if (unparsed_ > kMostPerParse) {
    held_back_.append(bytes);
    if (held_back_.size() < unparsed_ && held_back_.size() < INT_MAX / 2) return;
    parse(held_back_, false);
    std::string().swap(held_back_);
    return;
  }
  while (fault_.empty() && !bytes.empty()) {
    std::size_t part = bytes.size() < kMostPerParse ? bytes.size() : kMostPerParse;
    parse(bytes.substr(0, part), false);
    bytes.remove_prefix(part);
    if (unparsed_ > kMostPerParse) return feed(bytes);
  }
}

bool WellFormedCheck::finish() {
  if (fault_.empty()) {
    parse(held_back_, true);
    std::string().swap(held_back_);
  }
  return fault_.empty();
}

// Expat counts lines from 1 and columns from 0; the operator's editor
// counts both from 1.
void WellFormedCheck::note_fault() {
  fault_ = "line " + std::to_string(XML_GetCurrentLineNumber(parser_.get())) + ", column " +
           std::to_string(XML_GetCurrentColumnNumber(parser_.get()) + 1) + ": " +
           XML_ErrorString(XML_GetErrorCode(parser_.get()));
}

}  // namespace rodozerez
