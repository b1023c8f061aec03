#include "driver/commit_group.h"

#include <algorithm>
#include <utility>

#include "lineio/file_system.h"

namespace rodozerez {
namespace {

constexpr std::size_t kGroupFiles = 64;
constexpr std::size_t kGroupBytes = 8 << 20;

// Two descriptors a staged file, and room for everything else.
std::size_t group_limit(std::size_t open_file_limit) {
  if (open_file_limit < 64 + 2) return 1;
  return std::clamp<std::size_t>((open_file_limit - 64) / 2, 1, kGroupFiles);
}

// A step for listed file `index`: an error it raises says which file it
// belongs to.
template <typename Step>
auto for_file(std::size_t index, Step step) {
  try {
    return step();
  } catch (const NumberedError& e) {
    throw e.about_file(index);
  }
}

}  // namespace

CommitGroup::CommitGroup(const Folder& folder, std::size_t open_file_limit, PlacedFile placed,
                         std::chrono::milliseconds longest_wait)
    : folder_(folder),
      most_files_(group_limit(open_file_limit)),
      longest_wait_(longest_wait),
      placed_file_(std::move(placed)) {}

WorkFile CommitGroup::new_work_file() {
  if (!staged_.empty() && unnamed_work_files_) {
    WorkFile unnamed = WorkFile::create_unnamed(folder_);
    if (unnamed.is_open()) return unnamed;
    unnamed_work_files_ = false;
  }
  commit();
  if (unnamed_work_files_) write_errors_ = watch_for_write_errors(folder_);
  return WorkFile::create(folder_);
}

void CommitGroup::add(std::size_t index, InputFile input, WorkFile work) {
  auto now = std::chrono::steady_clock::now();
  if (staged_.empty()) since_ = now;
  bytes_ += work.size();
  staged_.push_back({index, std::move(input), std::move(work)});
  if (staged_.size() >= most_files_ || bytes_ >= kGroupBytes || now - since_ >= longest_wait_) {
    commit();
  }
}

void CommitGroup::commit() {
  commit_first(staged_.size());
}

// Commits the first `count` staged files; a file another program changed
// meanwhile is left as it was.
void CommitGroup::commit_first(std::size_t count) {
  if (count - std::min(count, durable_) > 1 && sync_file_system(write_errors_)) {
    durable_ = std::max(durable_, count);
  }
  for (; durable_ < count; ++durable_) {
    StagedFile& file = staged_[durable_];
    for_file(file.index, [&] { file.work.make_durable(); });
  }
  for (; placed_ < count; ++placed_) {
    StagedFile& file = staged_[placed_];
    Replacement outcome = for_file(file.index, [&] { return file.work.put_in_place(file.input); });
    if (outcome != Replacement::kReplaced) {
      for_file(file.index, [&] { file.work.leave(file.input); });
    }
    placed_file_(file.index, outcome);
  }
  if (placed_ == staged_.size()) clear();
}

void CommitGroup::clear() {
  staged_.clear();
  bytes_ = durable_ = placed_ = 0;
}

NumberedError CommitGroup::halt(NumberedError error, std::size_t current) {
  for (;;) {
    error = error.about_file(error.file() == NumberedError::kNoFile ? current : error.file());
    auto before = std::find_if(staged_.begin(), staged_.end(),
                               [&](const StagedFile& file) { return file.index >= error.file(); });
    try {
      commit_first(static_cast<std::size_t>(before - staged_.begin()));
      break;
    } catch (const NumberedError& e) {
      error = e;
    }
  }
  // The rest stay as they were; their work files, which wear their inputs'
  // attributes, go.
  for (std::size_t i = placed_; i < staged_.size(); ++i) {
    try {
      staged_[i].work.leave(staged_[i].input);
    } catch (const NumberedError&) {
      // Already halting; the number shown is the first failure.
    }
  }
  clear();
  return error;
}

}  // namespace rodozerez
