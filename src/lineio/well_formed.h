// The well-formedness guard: a conforming XML parser (libexpat) fed a
// document piece by piece, as it is written or read, so that memory follows
// the document's nesting and its longest token, not its size.
//
// Nothing is ever fetched or loaded: no external entity, no external DTD,
// no parameter entity. Only the parser's built-in encodings (UTF-8, UTF-16,
// ISO-8859-1, US-ASCII) are known; a document in any other encoding counts
// as not well-formed. The parser's own limits on entity expansion keep a
// hostile document from blowing up.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct XML_ParserStruct;

namespace rodozerez {

class WellFormedCheck {
 public:
  WellFormedCheck();

  // Takes the next piece of the document. Once a fault is found the rest
  // is ignored.
  void feed(std::string_view bytes);

  // Ends the document: true when all of it was well-formed XML.
  bool finish();

  // Where the first fault is and what it is, in the parser's words
  // ("line 12, column 5: mismatched tag"); empty while there is none.
  const std::string& fault() const { return fault_; }

 private:
  struct ParserFree {
    void operator()(XML_ParserStruct* parser) const;
  };
  std::unique_ptr<XML_ParserStruct, ParserFree> parser_;
  std::string fault_;  // empty while the document is well-formed so far
  // Bytes held back while a long token is unfinished (see feed), how many
  // have reached the parser, and how many of those it holds unparsed.
  std::string held_back_;
  unsigned long long fed_ = 0;
  unsigned long long unparsed_ = 0;
  void parse(std::string_view part, bool last);
  void note_fault();
};

}  // namespace rodozerez
