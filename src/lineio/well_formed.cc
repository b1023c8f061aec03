#include "lineio/well_formed.h"

#include <expat.h>

#include <climits>
#include <new>

namespace rodozerez {

void WellFormedCheck::ParserFree::operator()(XML_ParserStruct* parser) const {
  XML_ParserFree(parser);
}

// No handlers are set: expat checks well-formedness on its own, and without
// an external entity handler it never opens anything outside the document.
WellFormedCheck::WellFormedCheck() : parser_(XML_ParserCreate(nullptr)) {
  if (!parser_) throw std::bad_alloc();
  XML_SetParamEntityParsing(parser_.get(), XML_PARAM_ENTITY_PARSING_NEVER);
}

void WellFormedCheck::feed(std::string_view bytes) {
  // Pieces past INT_MAX bytes go in parts: expat takes an int length.
  while (!faulty_ && !bytes.empty()) {
    std::size_t part = bytes.size() < INT_MAX ? bytes.size() : INT_MAX;
    if (XML_Parse(parser_.get(), bytes.data(), static_cast<int>(part), XML_FALSE) !=
        XML_STATUS_OK) {
      if (XML_GetErrorCode(parser_.get()) == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
      faulty_ = true;
    }
    bytes.remove_prefix(part);
  }
}

bool WellFormedCheck::finish() {
  if (!faulty_ && XML_Parse(parser_.get(), nullptr, 0, XML_TRUE) != XML_STATUS_OK) {
    if (XML_GetErrorCode(parser_.get()) == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
    faulty_ = true;
  }
  return !faulty_;
}

}  // namespace rodozerez
