// MemoLog: the read-only, multi-line edit control that shows the ActivityLog, taking the queued
// lines in batches and keeping the latest ones only.
#pragma once

#include <cstddef>
#include <deque>

#include "platform/win32/Windows.h"
#include "shell/LogQueue.h"

namespace varo {

class LogView {
 public:
  // Creates the control as a child of parent, with the given id and font.
  LogView(HWND parent, int id, HFONT font);
  HWND Handle() const { return edit_; }
  // Drops the batch's OldestToDrop lines from the top, appends its lines and scrolls to the end.
  void Show(const LogBatch& batch);
  // Lines in view.
  std::size_t Lines() const { return lengths_.size(); }

 private:
  // Removes the first count lines in view.
  void DropOldest(std::size_t count);

  HWND edit_ = nullptr;
  // The length of every line in view: with word wrap the control counts screen lines, not ours.
  std::deque<std::size_t> lengths_;
};

}  // namespace varo
