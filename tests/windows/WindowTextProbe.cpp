// A Windows helper of the desktop test, run under Wine beside the program: prints the text of a
// child control of the top-level window with the given caption, as UTF-8, exactly as the control
// holds it (line ends included). The control is the first of the given class (default "Edit").
// With --dpi it tells the window instead that it moved to a monitor of DPI dots per inch, with
// the suggested rectangle, and prints the height of a line of its log (which needs two lines)
// and of its status bar before and after, then the window's rectangle.
//
// usage: window-text-probe CAPTION [CLASS]
//        window-text-probe CAPTION --dpi DPI LEFT TOP RIGHT BOTTOM
// exit codes: 0 printed; 2 no such window; 3 no such control; 4 the control did not answer;
//             5 the rectangle could not be handed to the program.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

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
  const bool dpi = argc > 2 && std::wcscmp(argv[2], L"--dpi") == 0;
  if (argc < 2 || (dpi && argc != 8)) {
    std::fputs("usage: window-text-probe CAPTION [CLASS | --dpi DPI LEFT TOP RIGHT BOTTOM]\n",
               stderr);
    return 1;
  }
  const HWND window = FindWindowW(nullptr, argv[1]);
  if (window == nullptr) return 2;
  if (dpi) return ReportDpiChange(window, argv + 3);
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

  std::string utf8;
  if (!text.empty()) {
    const int size = static_cast<int>(text.size());
    utf8.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr)));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
  }
  // Binary, so the control's own line ends reach the test unchanged.
  _setmode(_fileno(stdout), _O_BINARY);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  return 0;
}
