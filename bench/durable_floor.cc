// The durable floor: the least any crash-safe in-place rewrite must do.
// For each file named on the command line: read it whole, write it whole
// to a new file beside it, fsync that, rename it over the original.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::vector<char> bytes;
  for (int i = 1; i < argc; ++i) {
    std::string path = argv[i];
    int in = open(path.c_str(), O_RDONLY);
    struct stat st;
    if (in < 0 || fstat(in, &st) != 0) return perror(path.c_str()), 1;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      ssize_t n = read(in, bytes.data() + got, bytes.size() - got);
      if (n <= 0) return perror("read"), 1;
      got += static_cast<std::size_t>(n);
    }
    close(in);
    std::string staged = path + ".new";
    int out = open(staged.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || write(out, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        fsync(out) != 0 || close(out) != 0 || rename(staged.c_str(), path.c_str()) != 0) {
      return perror(staged.c_str()), 1;
    }
  }
  return 0;
}
