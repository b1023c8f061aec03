// The batched durable floor: the least a crash-safe in-place rewrite must
// do when it commits files in batches. For each batch of up to 64 files
// named on the command line: read each whole and write it whole to a new
// file beside it; one syncfs for all of them; rename each over its
// original.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kBatch = 64;

bool stage(const std::string& path, std::vector<char>& bytes, int& out) {
  int in = open(path.c_str(), O_RDONLY);
  struct stat st;
  if (in < 0 || fstat(in, &st) != 0) return false;
  bytes.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = read(in, bytes.data() + got, bytes.size() - got);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  close(in);
  out = open((path + ".new").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  return out >= 0 && write(out, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char> bytes;
  for (int first = 1; first < argc; first += kBatch) {
    int end = std::min(argc, first + kBatch);
    std::vector<int> staged;
    for (int i = first; i < end; ++i) {
      int out;
      if (!stage(argv[i], bytes, out)) return perror(argv[i]), 1;
      staged.push_back(out);
    }
    if (syncfs(staged.front()) != 0) return perror("syncfs"), 1;
    for (int i = first; i < end; ++i) {
      std::string path = argv[i];
      if (rename((path + ".new").c_str(), path.c_str()) != 0) return perror("rename"), 1;
      close(staged[static_cast<std::size_t>(i - first)]);
    }
  }
  return 0;
}
