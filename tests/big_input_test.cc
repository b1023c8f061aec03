// Big inputs through the real binary: a file with one 200 MB line and a
// 1 GB file of ordinary lines come out right, and the tool's peak memory
// follows the longest line, not the file's size.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "phase_runner.h"
#include "scratch.h"
#include "terminal.h"

namespace rodozerez {
namespace {

using testing::crlf;
using testing::ScratchDir;
using testing::Terminal;

// A template cut in two around its keyword lines.
const std::string kHead = crlf({"<?xml version=\"1.0\"?>", "<!DOCTYPE x>", "<metadata>",
                                "  <idinfo>", "      <citeinfo>", "        <origin>",
                                "        </origin>", "      </citeinfo>", "    <keywords>"});
const std::string kTail =
    crlf({"    </keywords>", "  </idinfo>", "    </attracc>", "  </dataqual>", "  </spref>",
          "  <metainfo>", "    <metd>20040115</metd>", "  </metainfo>", "</metadata>"});

// The rewritten head and tail, from a document whose body is one marker.
struct Expected {
  std::string head, tail;
  explicit Expected() {
    std::string marker = "MARKER-LINE";
    std::string out = testing::run_pass_today(kHead + marker + "\r\n" + kTail).bytes;
    std::size_t at = out.find(marker + "\r\n");
    head = out.substr(0, at);
    tail = out.substr(at + marker.size() + 2);
  }
};

// Writes head, `count` copies of `body`, tail.
void write_document(const std::string& path, const std::string& head, const std::string& body,
                    std::size_t count, const std::string& tail) {
  std::ofstream out(path, std::ios::binary);
  out << head;
  for (std::size_t i = 0; i < count; ++i) out.write(body.data(), static_cast<std::streamsize>(body.size()));
  out << tail;
}

// True when the file holds exactly head, `count` copies of `body`, tail;
// read in pieces, so the test itself stays small.
bool holds_document(const std::string& path, const std::string& head, const std::string& body,
                    std::size_t count, const std::string& tail) {
  std::ifstream in(path, std::ios::binary);
  auto next = [&](const std::string& want) {
    std::string got(want.size(), '\0');
    in.read(got.data(), static_cast<std::streamsize>(got.size()));
    return in.gcount() == static_cast<std::streamsize>(want.size()) && got == want;
  };
  if (!next(head)) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (!next(body)) return false;
  }
  return next(tail) && in.peek() == std::char_traits<char>::eof();
}

// Under AddressSanitizer freed blocks wait in its quarantine, so the peak
// says nothing about the tool as shipped; only the plain build measures.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryIsMeasured = false;
#else
constexpr bool kMemoryIsMeasured = true;
#endif

long rewrite_and_measure(const ScratchDir& dir) {
  Terminal term(dir.path().string());
  term.type("y\rbig.xml\r");
  EXPECT_EQ(term.wait_exit(300000), 0) << term.screen();
  std::printf("tool's peak memory: %ld KiB\n", term.peak_memory_kib());
  return term.peak_memory_kib();
}

TEST(BigInput, OneLineOf200MegabytesIsCopiedWholeInBoundedMemory) {
  ScratchDir dir;
  Expected expected;
  std::string line = std::string(200 << 20, 'k') + "\r\n";
  write_document(dir.file("big.xml"), kHead, line, 1, kTail);
  long peak_kib = rewrite_and_measure(dir);
  EXPECT_TRUE(holds_document(dir.file("big.xml"), expected.head, line, 1, expected.tail));
  // At most twice the line and 16 MB: one line held, never the file.
  if (kMemoryIsMeasured) {
    EXPECT_LT(peak_kib, (2 * 200 + 16) * 1024) << "peak " << peak_kib << " KiB";
  }
}

TEST(BigInput, OneGigabyteOfOrdinaryLinesIsRewrittenInSmallMemory) {
  ScratchDir dir;
  Expected expected;
  std::string line = "      <themekey>orthoimage keyword, natural colour, leaf-off</themekey>\r\n";
  std::size_t count = (std::size_t{1} << 30) / line.size();
  write_document(dir.file("big.xml"), kHead, line, count, kTail);
  long peak_kib = rewrite_and_measure(dir);
  EXPECT_TRUE(holds_document(dir.file("big.xml"), expected.head, line, count, expected.tail));
  // Buffers and one short line: far below the file's size.
  if (kMemoryIsMeasured) {
    EXPECT_LT(peak_kib, 64 * 1024) << "peak " << peak_kib << " KiB";
  }
}

}  // namespace
}  // namespace rodozerez
