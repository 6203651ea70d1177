#include "shell/win32/DialogTemplate.h"

namespace varo {

DialogTemplate::DialogTemplate(DWORD style, const std::wstring& caption, short width, short height,
                               WORD pointSize, const std::wstring& font) {
  PutDword(style | DS_SETFONT);
  PutDword(0);  // extended style
  countAt_ = words_.size();
  PutWord(0);  // controls, counted by Add
  for (const short value : {short{0}, short{0}, width, height}) PutWord(static_cast<WORD>(value));
  PutWord(0);  // no menu
  PutWord(0);  // the predefined dialog class
  PutText(caption);
  PutWord(pointSize);
  PutText(font);
}

void DialogTemplate::Add(WORD classAtom, WORD id, DWORD style, short x, short y, short width,
                         short height, const std::wstring& text) {
  Align();
  PutDword(style | WS_CHILD | WS_VISIBLE);
  PutDword(0);  // extended style
  for (const short value : {x, y, width, height}) PutWord(static_cast<WORD>(value));
  PutWord(id);
  PutWord(0xFFFF);  // a predefined class by atom follows
  PutWord(classAtom);
  PutText(text);
  PutWord(0);  // no creation data
  ++words_[countAt_];
}

const DLGTEMPLATE* DialogTemplate::Get() const {
  return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
}

void DialogTemplate::Align() {
  // The vector's storage is at least DWORD-aligned, so an even count of words is too.
  if (words_.size() % 2 != 0) words_.push_back(0);
}

void DialogTemplate::PutWord(WORD value) {
  words_.push_back(value);
}

void DialogTemplate::PutDword(DWORD value) {
  PutWord(LOWORD(value));
  PutWord(HIWORD(value));
}

void DialogTemplate::PutText(const std::wstring& text) {
  words_.insert(words_.end(), text.begin(), text.end());
  words_.push_back(0);
}

}  // namespace varo
