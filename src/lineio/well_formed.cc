#include "lineio/well_formed.h"

#include <expat.h>

#include <new>
#include <string>
#include <random>

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

void WellFormedCheck::feed(std::string_view bytes) {
  while (!faulty_ && !bytes.empty()) {
    std::size_t part = bytes.size() < kMostPerParse ? bytes.size() : kMostPerParse;
    if (XML_Parse(parser_.get(), bytes.data(), static_cast<int>(part), XML_FALSE) !=
        XML_STATUS_OK) {
      if (XML_GetErrorCode(parser_.get()) == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
      note_fault();
    }
    bytes.remove_prefix(part);
  }
}

bool WellFormedCheck::finish() {
  if (!faulty_ && XML_Parse(parser_.get(), nullptr, 0, XML_TRUE) != XML_STATUS_OK) {
    if (XML_GetErrorCode(parser_.get()) == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
    note_fault();
  }
  return !faulty_;
}

// Expat counts lines from 1 and columns from 0; the operator's editor
// counts both from 1.
void WellFormedCheck::note_fault() {
  faulty_ = true;
  fault_ = "line " + std::to_string(XML_GetCurrentLineNumber(parser_.get())) + ", column " +
           std::to_string(XML_GetCurrentColumnNumber(parser_.get()) + 1) + ": " +
           XML_ErrorString(XML_GetErrorCode(parser_.get()));
}

}  // namespace rodozerez
