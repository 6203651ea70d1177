#include "shell/win32/LogView.h"

#include <string>

#include "shell/win32/ShownText.h"

namespace varo {

namespace {

constexpr wchar_t LineEnd[] = L"\r\n";
constexpr std::size_t LineEndLength = 2;
// Far above what LogLinesKept lines take; the default of 30,000 characters would cut the log.
constexpr LPARAM TextLimit = 0x7FFFFFFE;

}  // namespace

LogView::LogView(HWND parent, int id, HFONT font) {
  // No scroll bar, as the log has none on Linux: the latest lines stay in view, and the keys
  // still move back through the older ones.
  edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                          WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
                          0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          GetModuleHandleW(nullptr), nullptr);
  if (edit_ == nullptr) return;
  SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(edit_, EM_SETLIMITTEXT, TextLimit, 0);
}

void LogView::Show(const LogBatch& batch) {
  if (batch.Lines == 0 || edit_ == nullptr) return;
  const std::wstring text = ShownText(batch.Text);

  SendMessageW(edit_, WM_SETREDRAW, FALSE, 0);
  DropOldest(batch.OldestToDrop);
  std::wstring added = lengths_.empty() ? L"" : LineEnd;
  added += text;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(LineEnd, start);
    lengths_.push_back((end == std::wstring::npos ? text.size() : end) - start);
    if (end == std::wstring::npos) break;
    start = end + LineEndLength;
  }
  const int length = GetWindowTextLengthW(edit_);
  SendMessageW(edit_, EM_SETSEL, length, length);
  SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
  SendMessageW(edit_, WM_SETREDRAW, TRUE, 0);
  SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
  InvalidateRect(edit_, nullptr, TRUE);
}

void LogView::DropOldest(std::size_t count) {
  if (count == 0) return;
  if (count >= lengths_.size()) {
    lengths_.clear();
    SetWindowTextW(edit_, L"");
    return;
  }
  std::size_t characters = 0;
  for (std::size_t i = 0; i < count; ++i) characters += lengths_[i] + LineEndLength;
  lengths_.erase(lengths_.begin(), lengths_.begin() + static_cast<std::ptrdiff_t>(count));
  SendMessageW(edit_, EM_SETSEL, 0, static_cast<LPARAM>(characters));
  SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

}  // namespace varo
