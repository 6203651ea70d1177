#include "records/Printable.h"
#include "shell/LogQueue.h"

#include <algorithm>
#include <cstdio>


namespace varo {

bool LogQueue::Add(const std::string& line) {
  // One log line stays one line, in the view and on standard output alike.
  std::string text = Printable(line);
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
  text.pop_back();

  const bool wasEmpty = pending_.empty();
  pending_.push_back(std::move(text));
  // Lines that the view would drop at once are never laid out.
  if (pending_.size() > LogLinesKept) pending_.pop_front();
  return wasEmpty;
}

LogBatch LogQueue::Take(const std::string& separator) {
  LogBatch batch;
  batch.Lines = pending_.size();
  if (batch.Lines == 0) return batch;
  const std::size_t total = inView_ + batch.Lines;
  // The queue never holds more than LogLinesKept, so only lines already in the view go.
  batch.OldestToDrop = total > LogLinesKept ? total - LogLinesKept : 0;
  inView_ = std::min(total, LogLinesKept);

  std::size_t size = 0;
  for (const std::string& line : pending_) size += line.size() + separator.size();
  batch.Text.reserve(size);
  bool first = true;
  for (const std::string& line : pending_) {
    if (!first) batch.Text += separator;
    batch.Text += line;
    first = false;
  }
  pending_.clear();
  return batch;
}

}  // namespace varo
