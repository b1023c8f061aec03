// The well-formedness guard on documents fed as the work file feeds it,
// one write buffer at a time.
#include "lineio/well_formed.h"

#include <gtest/gtest.h>

#include <string>

namespace rodozerez {
namespace {

bool judged_well_formed(const std::string& document, std::string* fault = nullptr) {
  WellFormedCheck guard;
  for (std::size_t at = 0; at < document.size(); at += 128 * 1024) {
    guard.feed(std::string_view(document).substr(at, 128 * 1024));
  }
  bool well_formed = guard.finish();
  if (fault) *fault = guard.fault();
  return well_formed;
}

// A token of megabytes (a comment here) is held back and parsed in growing
// parts: the verdict, and where a fault is, stay what they would be.
TEST(WellFormed, LongTokenIsJudgedLikeAnyOther) {
  const std::string comment = "<!--" + std::string(3 << 20, 'x') + "-->";
  EXPECT_TRUE(judged_well_formed("<a>" + comment + "<b/></a>\n"));
  EXPECT_FALSE(judged_well_formed("<a>" + comment.substr(0, comment.size() - 3) + "</a>\n"));
  std::string fault;
  EXPECT_FALSE(judged_well_formed("<a>\n" + comment + "\n<b></a>\n", &fault));
  EXPECT_EQ(fault, "line 3, column 6: mismatched tag");
}

}  // namespace
}  // namespace rodozerez
