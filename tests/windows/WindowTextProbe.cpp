// A Windows helper of the desktop test, run under Wine beside the program: prints the text of a
// child control of the top-level window with the given caption, as UTF-8, exactly as the control
// holds it (line ends included). The control is the first of the given class (default "Edit").
// With --dpi it tells the window instead that it moved to a monitor of DPI dots per inch, with
// the suggested rectangle, and prints the height of a line of its log (which needs two lines)
// and of its status bar before and after, then the window's rectangle. With --layout it prints
// the client area's width and height, the heights of the log, the message area and the status
// bar, the height of a line of the log, and 1 when the log has a vertical scroll bar (0 if not).
// With --status-tip it prints 1 when the status line's tooltip shows "&" as it is (TTS_NOPREFIX,
// 0 if not), a space, and the tooltip's text; with --tray-tip the text of the tip that Wine's
// notification area holds for the first tray icon; with --tray-warning how many of the pixels the
// screen shows at that icon are of the warning look's yellow (#F7C325, which the normal look
// lacks).
//
// usage: window-text-probe CAPTION [CLASS]
//        window-text-probe CAPTION --dpi DPI LEFT TOP RIGHT BOTTOM
//        window-text-probe CAPTION --layout | --status-tip | --tray-tip | --tray-warning
// exit codes: 0 printed; 2 no such window; 3 no such control; 4 the control did not answer;
//             5 the rectangle could not be handed to the program.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

// After windows.h, on which it builds.
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace {

// Bounds each question to the program, so a hung program fails the test instead of stopping it.
constexpr UINT AnswerMilliseconds = 5000;

int Height(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect.bottom - rect.top;
}

// The distance between the first two lines of an edit control, from the positions it reports;
// 0 when it holds less than two lines. (Its font cannot be read from another process.)
int LineHeight(HWND edit) {
  const auto second = SendMessageW(edit, EM_LINEINDEX, 1, 0);
  if (second < 0) return 0;
  const auto top = [&](LRESULT index) {
    return static_cast<short>(HIWORD(SendMessageW(edit, EM_POSFROMCHAR, index, 0)));
  };
  return top(second) - top(0);
}

// Sends WM_DPICHANGED with the rectangle placed in the program's memory, where lParam must point.
int SendDpiChanged(HWND window, WORD dpi, const RECT& suggested) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  const HANDLE program = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process);
  if (program == nullptr) return 5;
  void* remote =
      VirtualAllocEx(program, nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  int code = 5;
  if (remote != nullptr &&
      WriteProcessMemory(program, remote, &suggested, sizeof suggested, nullptr)) {
    DWORD_PTR result = 0;
    code = SendMessageTimeoutW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                               reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                               AnswerMilliseconds, &result)
               ? 0
               : 4;
  }
  if (remote != nullptr) VirtualFreeEx(program, remote, 0, MEM_RELEASE);
  CloseHandle(program);
  return code;
}

// Text as UTF-8.
std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::string utf8(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), size,
                                                                nullptr, 0, nullptr, nullptr)),
                   '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                      nullptr, nullptr);
  return utf8;
}

// Writes bytes to standard output unchanged, so the program's own line ends reach the test.
int Print(const std::string& bytes) {
  _setmode(_fileno(stdout), _O_BINARY);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  return 0;
}

// The text a tooltip of another process holds for the tool (window, id): TTM_GETTEXTW's
// TOOLINFOW and buffer must lie in that process's memory. Nothing when it cannot be asked.
std::optional<std::wstring> TipText(HWND tooltip, HWND window, UINT_PTR id) {
  constexpr std::size_t Room = 1024;  // more than a tooltip keeps
  DWORD process = 0;
  GetWindowThreadProcessId(tooltip, &process);
  const HANDLE owner =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
  if (owner == nullptr) return std::nullopt;
  TOOLINFOW tool{};
  auto* remote = static_cast<char*>(VirtualAllocEx(owner, nullptr, sizeof tool + Room * 2,
                                                   MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  std::optional<std::wstring> text;
  std::wstring buffer(Room, L'\0');
  tool.cbSize = sizeof tool;
  tool.hwnd = window;
  tool.uId = id;
  tool.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof tool);
  DWORD_PTR result = 0;
  if (remote != nullptr && WriteProcessMemory(owner, remote, &tool, sizeof tool, nullptr) &&
      SendMessageTimeoutW(tooltip, TTM_GETTEXTW, Room, reinterpret_cast<LPARAM>(remote),
                          SMTO_ABORTIFHUNG, AnswerMilliseconds, &result) &&
      ReadProcessMemory(owner, remote + sizeof tool, buffer.data(), Room * 2, nullptr)) {
    buffer.resize(std::wcslen(buffer.c_str()));
    text = buffer;
  }
  if (remote != nullptr) VirtualFreeEx(owner, remote, 0, MEM_RELEASE);
  CloseHandle(owner);
  return text;
}

// The first tooltip whose owner is of the class; nothing when there is none.
HWND TooltipOwnedBy(const wchar_t* ownerClass) {
  struct Search {
    const wchar_t* OwnerClass;
    HWND Found;
  } search{ownerClass, nullptr};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(context);
        wchar_t name[64] = L"";
        const HWND owner = GetWindow(window, GW_OWNER);
        GetClassNameW(window, name, 64);
        if (owner == nullptr || std::wcscmp(name, TOOLTIPS_CLASSW) != 0) return TRUE;
        GetClassNameW(owner, name, 64);
        if (std::wcscmp(name, search.OwnerClass) != 0) return TRUE;
        search.Found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// Wine's tray icons are windows of this class, each the owner of its tip.
constexpr const wchar_t* TrayIconClass = L"__winex11_tray_icon";

int ReportLayout(HWND window) {
  const HWND log = FindWindowExW(window, nullptr, L"Edit", nullptr);
  const HWND messages = FindWindowExW(window, nullptr, L"Static", nullptr);
  const HWND status = FindWindowExW(window, nullptr, L"msctls_statusbar32", nullptr);
  if (log == nullptr || messages == nullptr || status == nullptr) return 3;
  RECT client{};
  GetClientRect(window, &client);
  const bool scrollBar = (GetWindowLongW(log, GWL_STYLE) & WS_VSCROLL) != 0;
  std::printf("%ld %ld %d %d %d %d %d\n", client.right, client.bottom, Height(log),
              Height(messages), Height(status), LineHeight(log), scrollBar ? 1 : 0);
  return 0;
}

int ReportStatusTip(HWND window) {
  const HWND status = FindWindowExW(window, nullptr, L"msctls_statusbar32", nullptr);
  HWND tooltip = nullptr;
  // The window's own tooltip: a top-level window of its process that it owns.
  while ((tooltip = FindWindowExW(nullptr, tooltip, TOOLTIPS_CLASSW, nullptr)) != nullptr &&
         GetWindow(tooltip, GW_OWNER) != window) {
  }
  if (status == nullptr || tooltip == nullptr) return 3;
  const auto text = TipText(tooltip, window, reinterpret_cast<UINT_PTR>(status));
  if (!text) return 4;
  const bool asItIs = (GetWindowLongW(tooltip, GWL_STYLE) & TTS_NOPREFIX) != 0;
  return Print((asItIs ? "1 " : "0 ") + Utf8(*text));
}

int ReportTrayTip() {
  const HWND tooltip = TooltipOwnedBy(TrayIconClass);
  if (tooltip == nullptr) return 3;
  const HWND icon = GetWindow(tooltip, GW_OWNER);
  const auto text = TipText(tooltip, icon, reinterpret_cast<UINT_PTR>(icon));
  if (!text) return 4;
  return Print(Utf8(*text));
}

// The warning look's yellow among the pixels the screen shows where the first tray icon is; near
// it, as an icon drawn at another size blends its edges.
int ReportTrayWarning() {
  const HWND tooltip = TooltipOwnedBy(TrayIconClass);
  if (tooltip == nullptr) return 3;
  RECT place{};
  GetWindowRect(GetWindow(tooltip, GW_OWNER), &place);
  const HDC screen = GetDC(nullptr);
  int yellow = 0;
  for (int y = place.top; y < place.bottom; ++y) {
    for (int x = place.left; x < place.right; ++x) {
      const COLORREF pixel = GetPixel(screen, x, y);
      yellow += GetRValue(pixel) > 0xD0 && GetGValue(pixel) > 0xA0 && GetGValue(pixel) < 0xE0 &&
                GetBValue(pixel) < 0x70;
    }
  }
  ReleaseDC(nullptr, screen);
  std::printf("%d\n", yellow);
  return 0;
}

int ReportDpiChange(HWND window, wchar_t** values) {
  const HWND log = FindWindowExW(window, nullptr, L"Edit", nullptr);
  const HWND status = FindWindowExW(window, nullptr, L"msctls_statusbar32", nullptr);
  if (log == nullptr || status == nullptr) return 3;
  const int lineBefore = LineHeight(log);
  const int statusBefore = Height(status);
  const RECT suggested{_wtoi(values[1]), _wtoi(values[2]), _wtoi(values[3]), _wtoi(values[4])};
  if (const int code = SendDpiChanged(window, static_cast<WORD>(_wtoi(values[0])), suggested)) {
    return code;
  }
  RECT placed{};
  GetWindowRect(window, &placed);
  std::printf("%d %d %d %d %ld %ld %ld %ld\n", lineBefore, LineHeight(log), statusBefore,
              Height(status), placed.left, placed.top, placed.right, placed.bottom);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 2 ? argv[2] : L"";
  const bool dpi = mode == L"--dpi";
  if (argc < 2 || (dpi && argc != 8)) {
    std::fputs(
        "usage: window-text-probe CAPTION [CLASS | --dpi DPI LEFT TOP RIGHT BOTTOM | --layout | "
        "--status-tip | --tray-tip | --tray-warning]\n",
        stderr);
    return 1;
  }
  if (mode == L"--tray-tip") return ReportTrayTip();
  if (mode == L"--tray-warning") return ReportTrayWarning();
  const HWND window = FindWindowW(nullptr, argv[1]);
  if (window == nullptr) return 2;
  if (dpi) return ReportDpiChange(window, argv + 3);
  if (mode == L"--layout") return ReportLayout(window);
  if (mode == L"--status-tip") return ReportStatusTip(window);
  const HWND control = FindWindowExW(window, nullptr, argc > 2 ? argv[2] : L"Edit", nullptr);
  if (control == nullptr) return 3;

  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, AnswerMilliseconds,
                           &length)) {
    return 4;
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, AnswerMilliseconds, &copied)) {
    return 4;
  }
  text.resize(copied);
  return Print(Utf8(text));
}
