#include "shell/win32/Win32UserDialogs.h"

#include <algorithm>
#include <cstdio>

#include "platform/win32/WideText.h"
#include "shell/DesktopEventLog.h"
#include "shell/DesktopTexts.h"
#include "shell/win32/DialogTemplate.h"
#include "shell/win32/ShownText.h"

namespace varo {

namespace {

constexpr WORD PromptId = 100;
constexpr WORD EntryId = 101;

// The dialog's layout in dialog units; WM_INITDIALOG widens it to fit the prompt and caption.
constexpr short Margin = 7;
constexpr short DialogWidth = 200;
constexpr short ButtonWidth = 50;
constexpr short ButtonHeight = 14;
constexpr short ButtonGap = 4;
constexpr short PromptTop = 7;
constexpr short PromptHeight = 10;
constexpr short EntryTop = 20;
constexpr short EntryHeight = 14;
constexpr short ButtonTop = 44;
constexpr short DialogHeight = ButtonTop + ButtonHeight + Margin;

struct EntryDialog {
  std::wstring Caption;
  std::wstring Prompt;
  std::wstring Text;  // prefilled; the entry's text once OK is pressed
};

int TextWidth(HWND window, HFONT font, const std::wstring& text) {
  const HDC dc = GetDC(window);
  const HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return size.cx;
}

// The room the caption needs in the title bar: its text, the window icon and the close button.
int CaptionWidth(HWND dialog, const std::wstring& caption) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  int width = 0;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    const HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
    width = TextWidth(dialog, font, caption);
    DeleteObject(font);
  }
  return width + GetSystemMetrics(SM_CXSMICON) + 3 * GetSystemMetrics(SM_CXSIZE);
}

void MoveControl(HWND dialog, int id, int dx, int grow) {
  const HWND control = GetDlgItem(dialog, id);
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  MoveWindow(control, rect.left + dx, rect.top, rect.right - rect.left + grow,
             rect.bottom - rect.top, FALSE);
}

// Widens the dialog so the prompt fits on one line and the caption in the title bar, then
// centres it.
void FitAndCentre(HWND dialog, const EntryDialog& entry) {
  RECT client;
  GetClientRect(dialog, &client);
  RECT margin{0, 0, Margin, 0};
  MapDialogRect(dialog, &margin);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  const int needed =
      std::max(TextWidth(dialog, font, entry.Prompt) + 2 * static_cast<int>(margin.right),
               CaptionWidth(dialog, entry.Caption));
  const int grow = std::max(0, needed - static_cast<int>(client.right));
  if (grow > 0) {
    MoveControl(dialog, PromptId, 0, grow);
    MoveControl(dialog, EntryId, 0, grow);
    MoveControl(dialog, IDOK, grow, 0);
    MoveControl(dialog, IDCANCEL, grow, 0);
  }
  RECT frame;
  GetWindowRect(dialog, &frame);
  const RECT placed =
      CentredOnWorkArea(dialog, frame.right - frame.left + grow, frame.bottom - frame.top);
  MoveWindow(dialog, placed.left, placed.top, placed.right - placed.left,
             placed.bottom - placed.top, TRUE);
}

INT_PTR CALLBACK EntryProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* entry = reinterpret_cast<EntryDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      entry = reinterpret_cast<EntryDialog*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SetDlgItemTextW(dialog, PromptId, entry->Prompt.c_str());
      const HWND field = GetDlgItem(dialog, EntryId);
      SendMessageW(field, EM_LIMITTEXT, texts::EntryMaxLength, 0);
      SetWindowTextW(field, entry->Text.c_str());
      FitAndCentre(dialog, *entry);
      SetFocus(field);
      SendMessageW(field, EM_SETSEL, 0, -1);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        const HWND field = GetDlgItem(dialog, EntryId);
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
        entry->Text = std::move(text);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {  // the button, Esc and the close box
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

RECT CentredOnWorkArea(HWND window, int width, int height) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
    area = monitor.rcWork;
  }
  const int left = area.left + (area.right - area.left - width) / 2;
  const int top = area.top + (area.bottom - area.top - height) / 2;
  // A window larger than the work area keeps its title bar on it.
  const int x = std::max(static_cast<int>(area.left), left);
  const int y = std::max(static_cast<int>(area.top), top);
  return RECT{x, y, x + width, y + height};
}

std::optional<std::string> Win32UserDialogs::AskText(const std::string& caption,
                                                     const std::string& prompt,
                                                     const std::string& prefilled) {
  EntryDialog entry{ShownText(caption), ShownText(prompt), ShownText(prefilled)};
  DialogTemplate dialog(DS_MODALFRAME | DS_FIXEDSYS | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                        entry.Caption, DialogWidth, DialogHeight, 8, L"MS Shell Dlg");
  const short inner = DialogWidth - 2 * Margin;
  dialog.Add(DialogTemplate::Static, PromptId, SS_LEFT, Margin, PromptTop, inner, PromptHeight);
  dialog.Add(DialogTemplate::Edit, EntryId, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, Margin,
             EntryTop, inner, EntryHeight);
  const short cancelLeft = DialogWidth - Margin - ButtonWidth;
  dialog.Add(DialogTemplate::Button, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP,
             cancelLeft - ButtonGap - ButtonWidth, ButtonTop, ButtonWidth, ButtonHeight,
             ShownText(texts::OkButton));
  dialog.Add(DialogTemplate::Button, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, cancelLeft, ButtonTop,
             ButtonWidth, ButtonHeight, ShownText(texts::CancelButton));

  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), owner_,
                                                 EntryProcedure, reinterpret_cast<LPARAM>(&entry));
  // A dialog that could not be made (-1) counts as cancelled, as one closed at once would.
  if (result != IDOK) return std::nullopt;
  return win32::Narrow(entry.Text);
}

void Win32UserDialogs::ShowMessage(const std::string& caption, const std::string& text) {
  TellShownMessage(Severity::Error, caption, text);
  // A message at start, with the window still hidden, must not open behind other programs.
  MessageBoxW(owner_, ShownText(text).c_str(), ShownText(caption).c_str(),
              MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

}  // namespace varo
