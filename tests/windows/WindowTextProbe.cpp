// A Windows helper of the desktop test, run under Wine beside the program: prints the text of a
// child control of the top-level window with the given caption, as UTF-8, exactly as the control
// holds it (line ends included). The control is the first of the given class (default "Edit").
//
// usage: window-text-probe CAPTION [CLASS]
// exit codes: 0 printed; 2 no such window; 3 no such control; 4 the control did not answer.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Bounds each question to the program, so a hung program fails the test instead of stopping it.
constexpr UINT AnswerMilliseconds = 5000;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: window-text-probe CAPTION [CLASS]\n", stderr);
    return 1;
  }
  const HWND window = FindWindowW(nullptr, argv[1]);
  if (window == nullptr) return 2;
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
