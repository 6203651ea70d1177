#include "shell/win32/UPrincipale.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <exception>
#include <utility>

#include "endpoint/RefusedSources.h"
#include "platform/win32/MainWindowClass.h"
#include "platform/win32/WideText.h"
#include "shell/DesktopEventLog.h"
#include "shell/DesktopTexts.h"
#include "shell/NotificationAreaWait.h"
#include "shell/win32/ShownText.h"

namespace varo {

namespace {

constexpr const wchar_t* WindowClass = win32::MainWindowClass;

// Ids of the menu items and of the children.
constexpr UINT_PTR Portainingresso1 = 1001;
constexpr UINT_PTR Portadiuscita1 = 1002;
constexpr UINT_PTR Mostra1 = 1003;
constexpr UINT_PTR Esci1 = 1004;
constexpr UINT_PTR RegistroEventi1 = 1005;  // in the menu bar and the tray icon's menu alike
constexpr int MemoLogId = 2001;
constexpr int StatusBarId = 2002;
constexpr int MessageAreaId = 2003;
// The message area's colours, the information bar's: dark text on pale yellow.
constexpr COLORREF MessageBackground = RGB(0xFF, 0xF4, 0xCE);
constexpr COLORREF MessageForeground = RGB(0x3B, 0x2F, 0x00);
constexpr COLORREF MessageBorder = RGB(0xE0, 0xB0, 0x00);
// Its margin around the text, at 96 dots per inch.
constexpr int MessagePadding = 6;
constexpr UINT_PTR LogFlushTimer = 1;
constexpr UINT_PTR RefusalCountTimer = 3;
constexpr UINT_PTR NotificationAreaTimer = 2;
constexpr UINT_PTR StatusRefreshTimer = 4;
// Posted by the address watch: this computer's addresses changed.
constexpr UINT AddressesChanged = WM_APP + 3;

// MemoLog's size at 96 dots per inch, as on Linux.
constexpr int ClientWidth = 549;
constexpr int ClientHeight = 302;

// The dots per inch the stock objects are made for: the system's at sign-in.
int SystemDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// The font of the system's own dialogs and messages at dpi (the stock GUI font's if it cannot be
// had).
HFONT MessageFont(UINT dpi, bool& owned) {
  const HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW font{};
  // For this dots per inch: SystemParametersInfoW gives the font at the system's scale at
  // sign-in, which a monitor of another scale, or one whose scale changed since, must not get.
  if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    font = metrics.lfMessageFont;
  } else if (GetObjectW(stock, sizeof font, &font) != 0) {
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), SystemDpi());
  } else {
    owned = false;
    return static_cast<HFONT>(stock);
  }
  if (const HFONT made = CreateFontIndirectW(&font)) {
    owned = true;
    return made;
  }
  owned = false;
  return static_cast<HFONT>(stock);
}

// The window's icons come by WM_SETICON, each at its size; the class has none that could be
// shown at another.
void RegisterWindowClass(WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), WindowClass, &windowClass)) return;
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = WindowClass;
  if (RegisterClassExW(&windowClass) == 0) win32::ThrowLastError("cannot register the window");
}

int WindowHeight(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect.bottom - rect.top;
}

}  // namespace

TFormPrincipale::TFormPrincipale(Win32UserDialogs& dialogs, DesktopPlaces places)
    : dialogs_(dialogs),
      programTitle_(places.ProgramTitle),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterWindowClass(WindowProcedure);

  MainMenu1 = CreateMenu();
  Porta = CreatePopupMenu();
  AppendMenuW(Porta, MF_STRING, Portainingresso1, ShownText(texts::InputPortItem).c_str());
  AppendMenuW(Porta, MF_STRING, Portadiuscita1, ShownText(texts::OutputPortItem).c_str());
  AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(Porta),
              ShownText(texts::SettingsMenu).c_str());
  AppendMenuW(MainMenu1, MF_STRING, RegistroEventi1, ShownText(texts::EventLogItem).c_str());
  // The tray icon's menu; "Mostra" in bold, as what a double-click does.
  PopupMenu1 = CreatePopupMenu();
  AppendMenuW(PopupMenu1, MF_STRING, Mostra1, ShownText(texts::ShowItem).c_str());
  AppendMenuW(PopupMenu1, MF_STRING, RegistroEventi1, ShownText(texts::EventLogItem).c_str());
  AppendMenuW(PopupMenu1, MF_STRING, Esci1, ShownText(texts::QuitItem).c_str());
  SetMenuDefaultItem(PopupMenu1, Mostra1, FALSE);

  // Hidden: nothing is shown, and no taskbar entry, until the tray icon asks for the window.
  CreateWindowExW(0, WindowClass, ShownText(texts::ProductName).c_str(), WS_OVERLAPPEDWINDOW,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, MainMenu1,
                  GetModuleHandleW(nullptr), this);
  if (window_ == nullptr) {
    DestroyMenu(MainMenu1);
    DestroyMenu(PopupMenu1);
    win32::ThrowLastError("cannot create the main window");
  }
  // Its own scale from now on: that of the monitor it was made on, which the system's at sign-in
  // is not when the scale changed since, and no WM_DPICHANGED tells of that. (Wine has one scale
  // for every monitor, its LogPixels, so it cannot show the difference.)
  const UINT dpi = Dpi();
  font_ = MessageFont(dpi, ownsFont_);
  SetWindowIcons(dpi);
  // Started elevated, the window still hears the shell of the user's desktop, which runs at a
  // lower integrity level, announce a new taskbar.
  ChangeWindowMessageFilterEx(window_, taskbarCreated_, MSGFLT_ALLOW, nullptr);

  MemoLog = std::make_unique<LogView>(window_, MemoLogId, font_);
  // One line below the log says whether requests can reach the server at all.
  StatusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(StatusBarId)),
                              GetModuleHandleW(nullptr), nullptr);
  // What keeps requests from being answered stands above the log, seen without hovering.
  MessageArea = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_OWNERDRAW, 0, 0, 0, 0, window_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(MessageAreaId)),
                                GetModuleHandleW(nullptr), nullptr);
  messageBrush_ = CreateSolidBrush(MessageBackground);
  if (MemoLog->Handle() == nullptr || StatusBar == nullptr || MessageArea == nullptr) {
    win32::ThrowLastError("cannot create the main window's controls");
  }
  SendMessageW(StatusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SendMessageW(StatusBar, WM_SIZE, 0, 0);
  // The whole status text as the status line's tooltip, however much of it the line can show.
  // TTS_NOPREFIX: without it the tooltip strips every "&", and a path would show without it.
  StatusTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  if (StatusTip != nullptr) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(StatusBar);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(StatusTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(StatusTip, TTM_SETMAXTIPWIDTH, 0, MulDiv(ClientWidth, static_cast<int>(dpi), 96));
  }

  // The log's client size scales with the window's dots per inch, like the font; its frame and
  // menu bar too, which AdjustWindowRectEx would give at the system's scale at sign-in.
  RECT frame{0, 0, MulDiv(ClientWidth, static_cast<int>(dpi), 96),
             MulDiv(ClientHeight, static_cast<int>(dpi), 96) + WindowHeight(StatusBar)};
  AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, TRUE, 0, dpi);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();

  trayIcon_ = std::make_unique<TrayIcon>(window_, ShownText(texts::ProductName), dpi);
  dialogs_.SetOwner(window_);
  handOver_.SetWindow(window_);
  server_ =
      std::make_unique<DesktopServer>(handOver_, *this, dialogs_, std::move(places),
                                      [this](const ListenerStatus& status) { ShowStatus(status); });
  // An address added or removed shows at once; the news comes on a thread of the system's.
  server_->FollowAddresses([window = window_] { PostMessageW(window, AddressesChanged, 0, 0); });
  SetTimer(window_, StatusRefreshTimer,
           static_cast<UINT>(std::chrono::milliseconds(StatusRefreshInterval).count()), nullptr);
  // Refused requests not named one by one are counted without waiting for a further refusal.
  SetTimer(window_, RefusalCountTimer,
           static_cast<UINT>(std::chrono::milliseconds(RefusalCountCheck).count()), nullptr);
}

TFormPrincipale::~TFormPrincipale() {
  if (server_) server_->Stop();
  if (trayIcon_) trayIcon_->Remove();
  handOver_.SetWindow(nullptr);
  dialogs_.SetOwner(nullptr);
  if (window_ != nullptr) DestroyWindow(window_);
  DestroyMenu(PopupMenu1);
  if (ownsFont_) DeleteObject(font_);
  if (messageBrush_ != nullptr) DeleteObject(messageBrush_);
}

void TFormPrincipale::FormCreate() {
  // The icon comes first, so it is there while a message of start-up is open. (Under Wine, an
  // icon added just after a message box closed would at times take no clicks.)
  AddTrayIcon();
  server_->Start();
  SetWindowTextW(window_, ShownText(texts::Caption).c_str());
}

void TFormPrincipale::AddTrayIcon() {
  // A message box at start may have outlived a request to end.
  if (closing_) return;
  if (trayIcon_->Add()) return;
  // At log-in the notification area may come seconds after the program: it is looked for again
  // before the window is shown.
  notificationAreaWait_ = NotificationAreaWait();
  SetTimer(window_, NotificationAreaTimer,
           static_cast<UINT>(NotificationAreaWait::CheckEvery.count()), nullptr);
}

void TFormPrincipale::LookForNotificationArea() {
  if (closing_ || trayIcon_->Add()) {
    KillTimer(window_, NotificationAreaTimer);
  } else if (!notificationAreaWait_.KeepWaiting()) {
    KillTimer(window_, NotificationAreaTimer);
    Present();
  }
}

void TFormPrincipale::Present() {
  if (!shownOnce_) {
    shownOnce_ = true;
    RECT frame{};
    GetWindowRect(window_, &frame);
    const RECT placed =
        CentredOnWorkArea(window_, frame.right - frame.left, frame.bottom - frame.top);
    SetWindowPos(window_, nullptr, placed.left, placed.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(window_);
}

void TFormPrincipale::WatchShowRequests(UINT message, std::function<void()> knocked) {
  showRequest_ = message;
  knocked_ = message != 0 ? std::move(knocked) : nullptr;
  // A later start that is not elevated may ask an elevated instance for its window.
  if (message != 0 && window_ != nullptr) {
    ChangeWindowMessageFilterEx(window_, message, MSGFLT_ALLOW, nullptr);
  }
}

void TFormPrincipale::FormClose() {
  if (closing_) return;
  closing_ = true;
  server_->BeginClosing();
  trayIcon_->Remove();
  ShowWindow(window_, SW_HIDE);
  // The input port is free before the message loop ends; the process may end right after.
  server_->Stop();
  PostQuitMessage(0);
}

void TFormPrincipale::Append(const std::string& line) {
  // Hidden, nobody reads the view: the lines wait for the window to be shown.
  if (log_.Add(line) && IsWindowVisible(window_)) {
    SetTimer(window_, LogFlushTimer, LogFlushMilliseconds, nullptr);
  }
}

void TFormPrincipale::FlushLog() {
  KillTimer(window_, LogFlushTimer);
  if (log_.Empty() || !MemoLog) return;
  MemoLog->Show(log_.Take("\r\n"));
}

void TFormPrincipale::Layout() {
  RECT client{};
  GetClientRect(window_, &client);
  SendMessageW(StatusBar, WM_SIZE, 0, 0);
  const int messages = MessageAreaHeight(client.right);
  MoveWindow(MessageArea, 0, 0, client.right, messages, TRUE);
  const int logHeight = client.bottom - WindowHeight(StatusBar) - messages;
  MoveWindow(MemoLog->Handle(), 0, messages, client.right, logHeight > 0 ? logHeight : 0, TRUE);
  FitStatusText();
}

void TFormPrincipale::DrawMessageArea(const DRAWITEMSTRUCT& item) const {
  RECT box = item.rcItem;
  FillRect(item.hDC, &box, messageBrush_);
  const HBRUSH border = CreateSolidBrush(MessageBorder);
  FrameRect(item.hDC, &box, border);
  DeleteObject(border);
  const int length = GetWindowTextLengthW(MessageArea);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(MessageArea, text.data(), length + 1)));
  const int padding = MulDiv(MessagePadding, static_cast<int>(Dpi()), 96);
  InflateRect(&box, -padding, -padding);
  const HGDIOBJ previous = SelectObject(item.hDC, font_);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, MessageForeground);
  DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &box,
            DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  SelectObject(item.hDC, previous);
}

int TFormPrincipale::MessageAreaHeight(int width) const {
  // Asked of the control itself: the window may be hidden as a whole.
  if ((GetWindowLongW(MessageArea, GWL_STYLE) & WS_VISIBLE) == 0) return 0;
  const int length = GetWindowTextLengthW(MessageArea);
  if (length == 0) return 0;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(MessageArea, text.data(), length + 1)));
  const int padding = MulDiv(MessagePadding, static_cast<int>(Dpi()), 96);
  RECT box{0, 0, width > 2 * padding ? width - 2 * padding : 1, 0};
  const HDC dc = GetDC(MessageArea);
  const HGDIOBJ previous = SelectObject(dc, font_);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  SelectObject(dc, previous);
  ReleaseDC(MessageArea, dc);
  return box.bottom + 2 * padding;
}

UINT TFormPrincipale::Dpi() const {
  const UINT dpi = GetDpiForWindow(window_);
  return dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

void TFormPrincipale::FollowDpi(UINT dpi, const RECT& suggested) {
  bool owned = false;
  const HFONT font = MessageFont(dpi, owned);
  SendMessageW(MemoLog->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  SendMessageW(StatusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  InvalidateRect(MessageArea, nullptr, TRUE);  // drawn with the window's font, now the new one
  // The controls hold the new font now; the old one may go.
  if (ownsFont_) DeleteObject(font_);
  font_ = font;
  ownsFont_ = owned;
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (StatusTip != nullptr) {
    SendMessageW(StatusTip, TTM_SETMAXTIPWIDTH, 0, MulDiv(ClientWidth, static_cast<int>(dpi), 96));
  }
  // The status line's height follows its font, even where the window's size stayed.
  Layout();
  SetWindowIcons(dpi);
  if (trayIcon_) trayIcon_->LoadIcons(dpi);
}

void TFormPrincipale::SetWindowIcons(UINT dpi) {
  // The sizes at the window's scale: GetSystemMetrics gives them at the system's at sign-in.
  OwnedIcon icon = LoadProgramIcon(IconLook::Normal, GetSystemMetricsForDpi(SM_CXICON, dpi));
  OwnedIcon smallIcon = LoadProgramIcon(IconLook::Normal, GetSystemMetricsForDpi(SM_CXSMICON, dpi));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.Get()));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.Get()));
  // The window holds the new icons now; the old ones may go.
  icon_ = std::move(icon);
  smallIcon_ = std::move(smallIcon);
}

void TFormPrincipale::RegistroEventi1Click() {
  ShowEventLog(
      dialogs_, programTitle_, [this](const std::string& path, std::function<void()> failed) {
        const std::wstring file = win32::Widen(path);
        // Returns once the viewer is started; it lives on its own.
        INT_PTR opened = reinterpret_cast<INT_PTR>(
            ShellExecuteW(window_, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        // A system where no program claims .log files still has Notepad.
        if (opened == SE_ERR_NOASSOC) {
          const std::wstring quoted = L"\"" + file + L"\"";
          opened = reinterpret_cast<INT_PTR>(ShellExecuteW(window_, L"open", L"notepad.exe",
                                                           quoted.c_str(), nullptr, SW_SHOWNORMAL));
        }
        if (opened <= 32) failed();
      });
}

void TFormPrincipale::ShowTrayMenu(WPARAM anchor) {
  if (closing_) return;
  switch (trayIcon_->ChooseFromMenu(PopupMenu1, anchor)) {
    case Mostra1:
      Present();
      break;
    case Esci1:
      FormClose();
      break;
    case RegistroEventi1:
      RegistroEventi1Click();
      break;
    default:
      break;
  }
}

void TFormPrincipale::ShowTrayBalloon(const std::string& text) {
  if (trayIcon_) trayIcon_->ShowBalloon(win32::Widen(texts::ProductName), win32::Widen(text));
}

void TFormPrincipale::ShowStatus(const ListenerStatus& status) {
  statusText_ = ShownText(StatusLine(status));
  FitStatusText();
  if (StatusTip != nullptr) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(StatusBar);
    tool.lpszText = statusText_.data();
    SendMessageW(StatusTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  trayIcon_->SetTip(ShownText(TrayTip(status, TrayIcon::Tip())));

  std::string messages;
  for (const std::string& line : MessageLines(status)) {
    messages += (messages.empty() ? "" : "\r\n") + line;
  }
  // Whatever keeps some request from being answered marks the icon too.
  trayIcon_->SetWarning(!messages.empty());
  SetWindowTextW(MessageArea, ShownText(messages).c_str());
  InvalidateRect(MessageArea, nullptr, TRUE);
  ShowWindow(MessageArea, messages.empty() ? SW_HIDE : SW_SHOWNA);
  Layout();
}

void TFormPrincipale::FitStatusText() {
  if (StatusBar == nullptr) return;
  RECT pane{};
  SendMessageW(StatusBar, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&pane));
  int borders[3] = {};
  SendMessageW(StatusBar, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
  const int width =
      pane.right - pane.left - 2 * (borders[0] + GetSystemMetricsForDpi(SM_CXEDGE, Dpi()) + 2);
  std::wstring shown = statusText_;
  const HDC dc = GetDC(StatusBar);
  const HGDIOBJ previous = SelectObject(dc, font_);
  SIZE size{};
  int fit = 0;
  GetTextExtentExPointW(dc, shown.c_str(), static_cast<int>(shown.size()), width, &fit, nullptr,
                        &size);
  if (width > 0 && fit < static_cast<int>(shown.size())) {
    constexpr wchar_t Ellipsis[] = L"\u2026";
    SIZE ellipsis{};
    GetTextExtentPoint32W(dc, Ellipsis, 1, &ellipsis);
    GetTextExtentExPointW(dc, shown.c_str(), static_cast<int>(shown.size()),
                          std::max(0, width - static_cast<int>(ellipsis.cx)), &fit, nullptr, &size);
    shown.resize(static_cast<std::size_t>(std::max(0, fit)));
    shown += Ellipsis;
  }
  SelectObject(dc, previous);
  ReleaseDC(StatusBar, dc);
  SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shown.c_str()));
}

LRESULT CALLBACK TFormPrincipale::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form =
        static_cast<TFormPrincipale*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TFormPrincipale*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->window_ = nullptr;
    form->handOver_.SetWindow(nullptr);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  // No exception may unwind through the system's frames: it is shown, and the program goes on.
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    try {
      form->dialogs_.ShowMessage(form->programTitle_, error.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      form->dialogs_.ShowMessage(form->programTitle_, texts::UnknownError);
    } catch (...) {
    }
  }
  return 0;
}

LRESULT TFormPrincipale::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // The notification area was rebuilt (the desktop shell restarted): the icon must come back,
  // or the hidden window could never be reached again.
  if (message == taskbarCreated_ && taskbarCreated_ != 0) {
    // The new notification area may be drawn at another scale.
    trayIcon_->LoadIcons(Dpi());
    AddTrayIcon();
    return 0;
  }
  // A later start asks for the window, as the menu's launcher does.
  if (message == showRequest_ && showRequest_ != 0) {
    if (knocked_) knocked_();
    return 0;
  }
  switch (message) {
    case PostedHandOver::Message:
      handOver_.ServePending();
      return 0;
    case AddressesChanged:
      server_->RefreshAddresses();
      return 0;
    case TrayIcon::Message:
      switch (TrayIcon::RequestOf(lParam)) {
        case TrayIcon::Request::Show:
          Present();
          break;
        case TrayIcon::Request::Menu:
          ShowTrayMenu(wParam);
          break;
        case TrayIcon::Request::None:
          break;
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == Portainingresso1) {
        server_->AskInputPort();
        return 0;
      }
      if (LOWORD(wParam) == Portadiuscita1) {
        server_->AskOutputPort();
        return 0;
      }
      if (LOWORD(wParam) == RegistroEventi1) {
        RegistroEventi1Click();
        return 0;
      }
      break;
    case WM_SHOWWINDOW:
      if (wParam) {
        FlushLog();
        // The user looks now: addresses and folders as they are, not as a minute ago.
        server_->Refresh();
      }
      break;
    case WM_TIMER:
      if (wParam == LogFlushTimer) {
        FlushLog();
        return 0;
      }
      if (wParam == StatusRefreshTimer) {
        server_->Refresh();
        return 0;
      }
      if (wParam == RefusalCountTimer) {
        server_->TellRefusals();
        return 0;
      }
      if (wParam == NotificationAreaTimer) {
        LookForNotificationArea();
        return 0;
      }
      break;
    case WM_SIZE:
      if (MemoLog) Layout();
      return 0;
    case WM_DPICHANGED:
      if (MemoLog) FollowDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_SETFOCUS:
      if (MemoLog) SetFocus(MemoLog->Handle());
      return 0;
    case WM_DRAWITEM:
      if (wParam == MessageAreaId) {
        DrawMessageArea(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC:
      // A read-only edit would be grey; the log reads as text on the window colour.
      if (MemoLog && reinterpret_cast<HWND>(lParam) == MemoLog->Handle()) {
        const auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case WM_CLOSE:
      FormClose();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The session ends: the process may be ended as soon as this returns.
      if (wParam) FormClose();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace varo
