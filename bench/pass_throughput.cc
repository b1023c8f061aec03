// Throughput of the rewrite pass (with the well-formedness guard that
// parses what it writes) against a plain memchr-and-copy loop over the same
// bytes, and of the guard alone: a large well-formed document in
// memory-backed files (/dev/shm), read through the line layer and written
// to the work file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lineio/line_file.h"
#include "lineio/well_formed.h"
#include "rewriter/pass.h"

namespace {

constexpr std::size_t kDocumentBytes = 64 << 20;

const std::string& folder() {
  static const std::string dir = [] {
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string d = base + "/rodozerez-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// A template whose keyword list holds most of its bytes: the lines the
// pass copies through, as in a real template, only many more of them.
const std::string& document() {
  static const std::string path = [] {
    std::string p = folder() + "/large.xml";
    std::ofstream out(p, std::ios::binary);
    out << "<?xml version=\"1.0\"?>\r\n<!DOCTYPE x>\r\n<metadata>\r\n  <idinfo>\r\n"
           "      <citeinfo>\r\n        <origin>\r\n        </origin>\r\n      </citeinfo>\r\n"
           "    <keywords>\r\n";
    std::size_t written = 0;
    for (int i = 0; written < kDocumentBytes; ++i) {
      std::string line = "      <themekey>orthoimage keyword " + std::to_string(i) +
                         ", natural colour, leaf-off</themekey>\r\n";
      out << line;
      written += line.size();
    }
    out << "    </keywords>\r\n  </idinfo>\r\n  <dataqual>\r\n    <attracc>\r\n    </attracc>\r\n"
           "  </dataqual>\r\n  <spref>\r\n  </spref>\r\n  <metainfo>\r\n    "
           "<metd>20040115</metd>\r\n"
           "    <metc>\r\n    </metc>\r\n  </metainfo>\r\n</metadata>\r\n";
    return p;
  }();
  return path;
}

void BM_RewritePass(benchmark::State& state) {
  const std::string& input_path = document();
  rodozerez::RunValues values{true, "2026", "20261208"};
  rodozerez::Folder opened = rodozerez::open_folder(folder());
  for (auto _ : state) {
    rodozerez::InputFile input = rodozerez::InputFile::open(opened, "large.xml");
    rodozerez::WorkFile work = rodozerez::WorkFile::create(opened);
    rodozerez::rewrite_file(input, work, values);
    rodozerez::close_all_files(input, work);
  }
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * std::filesystem::file_size(input_path)));
}

// The reference: read through a buffer, find each CR with memchr, copy the
// line and a CR LF into an output buffer, write it out when full.
void BM_MemchrAndCopy(benchmark::State& state) {
  const std::string& input_path = document();
  std::string output_path = folder() + "/reference.out";
  std::vector<char> in(128 << 10), out(128 << 10);
  for (auto _ : state) {
    int fd = open(input_path.c_str(), O_RDONLY);
    int wd = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::size_t used = 0;
    std::string carry;
    ssize_t n;
    while ((n = read(fd, in.data(), in.size())) > 0) {
      const char* p = in.data();
      const char* end = p + n;
      while (p < end) {
        auto* cr =
            static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
        if (!cr) {
          carry.append(p, end);
          break;
        }
        std::string_view line(p, static_cast<std::size_t>(cr - p));
        if (!carry.empty()) line = carry.append(line);
        if (used + line.size() + 2 > out.size()) {
          if (write(wd, out.data(), used) < 0) state.SkipWithError("write");
          used = 0;
        }
        std::memcpy(out.data() + used, line.data(), line.size());
        used += line.size();
        out[used++] = '\r';
        out[used++] = '\n';
        carry.clear();
        p = cr + 1;
        if (p < end && *p == '\n') ++p;
      }
    }
    if (write(wd, out.data(), used) < 0) state.SkipWithError("write");
    close(fd);
    close(wd);
  }
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * std::filesystem::file_size(input_path)));
}

// The guard alone, fed as the work file feeds it: one write buffer at a time.
void BM_WellFormedGuard(benchmark::State& state) {
  const std::string& input_path = document();
  std::vector<char> in(rodozerez::kLineBufferSize);
  for (auto _ : state) {
    int fd = open(input_path.c_str(), O_RDONLY);
    rodozerez::WellFormedCheck guard;
    ssize_t n;
    while ((n = read(fd, in.data(), in.size())) > 0) {
      guard.feed({in.data(), static_cast<std::size_t>(n)});
    }
    close(fd);
    if (!guard.finish()) state.SkipWithError("the document is not well-formed");
  }
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * std::filesystem::file_size(input_path)));
}

// The guard on a document that is one long token: a 64 MB comment, fed
// one write buffer at a time. Expat before 2.6 rescans an unfinished token
// on every part, so this is where the guard could turn quadratic.
void BM_WellFormedGuardOneToken(benchmark::State& state) {
  const std::string document = "<a><!--" + std::string(64 << 20, 'x') + "--></a>\n";
  for (auto _ : state) {
    rodozerez::WellFormedCheck guard;
    for (std::size_t at = 0; at < document.size(); at += rodozerez::kLineBufferSize) {
      guard.feed(std::string_view(document).substr(at, rodozerez::kLineBufferSize));
    }
    if (!guard.finish()) state.SkipWithError("the document is not well-formed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.size()));
}

BENCHMARK(BM_MemchrAndCopy)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RewritePass)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WellFormedGuard)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WellFormedGuardOneToken)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(folder());
  return 0;
}
