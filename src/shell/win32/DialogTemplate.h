// A dialog template built in memory, so a dialog needs no resource script: the DLGTEMPLATE header
// and one DLGITEMTEMPLATE per control, each DWORD-aligned as the dialog manager reads them.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/Windows.h"

namespace varo {

class DialogTemplate {
 public:
  // Class atoms of the predefined controls.
  static constexpr WORD Button = 0x0080;
  static constexpr WORD Edit = 0x0081;
  static constexpr WORD Static = 0x0082;

  // The dialog itself: style, caption, size in dialog units, and the font its units come from.
  DialogTemplate(DWORD style, const std::wstring& caption, short width, short height,
                 WORD pointSize, const std::wstring& font);

  // Adds a control of a predefined class at x, y with the given size, in dialog units.
  void Add(WORD classAtom, WORD id, DWORD style, short x, short y, short width, short height,
           const std::wstring& text = L"");

  // The template as DialogBoxIndirectParamW takes it; valid while this object lives unchanged.
  const DLGTEMPLATE* Get() const;

 private:
  void Align();
  void PutWord(WORD value);
  void PutDword(DWORD value);
  void PutText(const std::wstring& text);

  std::vector<WORD> words_;
  std::size_t countAt_ = 0;  // where the header keeps its number of controls
};

}  // namespace varo
