// The main window: MemoLog with the status line below it, the menu "Impostazioni", the tray icon
// with its menu, and the DesktopServer it shows. Native and wide-character; built hidden.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "handlers/ActivityLog.h"
#include "platform/win32/Windows.h"
#include "shell/DesktopServer.h"
#include "shell/LogQueue.h"
#include "shell/NotificationAreaWait.h"
#include "shell/win32/LogView.h"
#include "shell/win32/PostedHandOver.h"
#include "shell/win32/ProgramIcon.h"
#include "shell/win32/TrayIcon.h"
#include "shell/win32/Win32UserDialogs.h"

namespace varo {

class TFormPrincipale : public ActivityLog {
 public:
  // Builds the window hidden, with its menu, log and status line; throws when Windows cannot.
  TFormPrincipale(Win32UserDialogs& dialogs, DesktopPlaces places);
  // Stops the endpoint, then destroys the window, so no hand-over waits for a window gone.
  ~TFormPrincipale() override;
  TFormPrincipale(const TFormPrincipale&) = delete;
  TFormPrincipale& operator=(const TFormPrincipale&) = delete;

  // Adds the tray icon, starts serving and sets the caption; when no notification area comes
  // within the wait the window is shown, since hidden it could be neither reached nor closed.
  void FormCreate();
  // Shows, restores and raises the window; centred on the work area the first time.
  void Present();
  // From now on the window message a later start posts to ask for the window (the guard's
  // InstanceLock::KnockHandle) calls knocked; message 0 stops it.
  void WatchShowRequests(UINT message, std::function<void()> knocked);
  // The end of the program, by closing the window or by the end of the session: the icon
  // removed, the endpoint stopped, the message loop told to end.
  void FormClose();

  // Writes the line to standard output and queues it for MemoLog, which takes the queued lines a
  // moment later while the window is visible, or at once when it is shown.
  void Append(const std::string& line) override;
  // Moves every queued line into MemoLog now.
  void FlushLog();

  // Shows text once in a balloon at the tray icon, titled with the program's name: now, or when the
  // icon is added.
  void ShowTrayBalloon(const std::string& text);

  HWND Handle() const { return window_; }
  DesktopServer& Server() { return *server_; }

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Gives MemoLog the client area above the status line.
  void Layout();
  // The window moved to a monitor of another scale: the rectangle Windows suggests for it there,
  // and the font and the icons made again for the new dots per inch.
  void FollowDpi(UINT dpi, const RECT& suggested);
  // Gives the window its large and small icons, each loaded at its size at dpi.
  void SetWindowIcons(UINT dpi);
  // The window's own dots per inch: those of its monitor.
  UINT Dpi() const;
  // The tray icon's menu at the point of the event, and what was chosen from it done.
  void ShowTrayMenu(WPARAM anchor);
  // "Registro eventi": the event log in the system's viewer.
  void RegistroEventi1Click();
  // Puts the status on the status line, the message area and the tray icon's tip.
  void ShowStatus(const ListenerStatus& status);
  // The message area's height for the client's width: its lines, wrapped, and its margins; 0 while
  // it is hidden.
  int MessageAreaHeight(int width) const;
  // Paints the message area: its lines on the information bar's colours, within a margin.
  void DrawMessageArea(const DRAWITEMSTRUCT& item) const;
  // Shows the status text in the status line's width, its end cut to "…" when it does not fit;
  // the whole text is always the status line's tooltip.
  void FitStatusText();
  // Adds the tray icon; where there is no notification area yet, looks for one every half second
  // and shows the window if none came within the wait.
  void AddTrayIcon();
  void LookForNotificationArea();

  Win32UserDialogs& dialogs_;
  const std::string programTitle_;
  const UINT taskbarCreated_;
  UINT showRequest_ = 0;
  std::function<void()> knocked_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  bool ownsFont_ = false;
  OwnedIcon icon_;
  OwnedIcon smallIcon_;
  HMENU MainMenu1 = nullptr;
  HMENU Porta = nullptr;
  HMENU PopupMenu1 = nullptr;
  HWND StatusBar = nullptr;
  HWND StatusTip = nullptr;  // the status line's tooltip
  // Above the log: one line a problem, hidden while there is none.
  HWND MessageArea = nullptr;
  HBRUSH messageBrush_ = nullptr;
  std::wstring statusText_;
  std::unique_ptr<LogView> MemoLog;
  std::unique_ptr<TrayIcon> trayIcon_;
  LogQueue log_;
  NotificationAreaWait notificationAreaWait_;
  bool shownOnce_ = false;
  bool closing_ = false;
  PostedHandOver handOver_;
  // Declared after what it serves with (hand-over, log), so it is stopped before they go.
  std::unique_ptr<DesktopServer> server_;
};

}  // namespace varo
