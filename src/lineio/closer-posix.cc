// Replaced inputs are closed on a thread of their own. Closing the last
// descriptor of a file that a rename has unlinked frees its blocks, and a
// file system mounted with online discard makes close(2) wait for the
// device to trim them: about as long as the rest of a small file's rewrite.
// Nothing depends on that close (no name leads to the file, its result
// cannot matter), so the run goes on beside it. The thread touches no
// name, no screen and no error; the run waits for it before its summary.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "lineio/closer.h"

namespace rodozerez {
namespace {

// Descriptors waiting to be closed; beyond this many the run waits, so the
// queue never holds more than a commit group's spare descriptors.
constexpr std::size_t kMostWaiting = 32;

struct Closer {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<int> waiting;
  bool closing = false;  // the thread is in close(2)
  bool started = false;
  bool failed_to_start = false;
};

// Never destroyed: the thread may still be waiting on it while the process
// exits.
Closer& closer() {
  static Closer& state = *new Closer;
  return state;
}

[[noreturn]] void close_waiting_files(Closer& c) {
  std::unique_lock lock(c.mutex);
  for (;;) {
    c.changed.wait(lock, [&] { return !c.waiting.empty(); });
    int fd = c.waiting.front();
    c.waiting.pop_front();
    c.closing = true;
    lock.unlock();
    close(fd);
    lock.lock();
    c.closing = false;
    c.changed.notify_all();
  }
}

// Starts the thread with every signal blocked in it, so that the signal
// handlers, which put the terminal back, always run on the run's own thread.
bool start_closer(Closer& c) {
  sigset_t all, before;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &before);
  try {
    std::thread(close_waiting_files, std::ref(c)).detach();
    c.started = true;
  } catch (const std::system_error&) {
    c.failed_to_start = true;  // no thread to be had: closed in line
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return c.started;
}

}  // namespace

void close_replaced_input(FileDescriptor fd) {
  Closer& c = closer();
  std::unique_lock lock(c.mutex);
  if (!c.started && (c.failed_to_start || !start_closer(c))) {
    lock.unlock();
    fd.reset();
    return;
  }
  c.changed.wait(lock, [&] { return c.waiting.size() < kMostWaiting; });
  c.waiting.push_back(fd.get());
  (void)fd.release();
  c.changed.notify_all();
}

void wait_for_replaced_inputs() {
  Closer& c = closer();
  std::unique_lock lock(c.mutex);
  c.changed.wait(lock, [&] { return c.waiting.empty() && !c.closing; });
}

}  // namespace rodozerez
