// What the desktop program does, whatever toolkit shows it: start-up, the ports the two dialogs
// put in force, the status line and the endpoint's end. The window owns one, gives it its
// hand-over, its log and its dialogs, and keeps only widgets and events.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/ArchiveFolders.h"
#include "archive/SystemArchive.h"
#include "endpoint/AccessGate.h"
#include "endpoint/MainThreadHandOver.h"
#include "endpoint/RequestDispatch.h"
#include "endpoint/RequestState.h"
#include "endpoint/UDPServer.h"
#include "handlers/ActivityLog.h"
#include "platform/AddressWatch.h"
#include "platform/FirewallPolicy.h"
#include "platform/NetworkAddresses.h"
#include "shell/FirewallReader.h"
#include "shell/FirewallVerdict.h"
#include "shell/ListenerStatus.h"
#include "shell/PortDialogFlow.h"
#include "shell/StatusNotes.h"
#include "shell/UserDialogs.h"

namespace varo {

// Where the program finds its files, and the title its messages carry.
struct DesktopPlaces {
  // The Documents folder, below which the archive lies; asked for every request that uses the
  // archive, since the desktop may move it while the program runs. It must answer cheaply.
  std::function<std::string()> Documents;
  std::string SettingsFile;
  std::string ProgramTitle;  // the title rule applied to the program's own name
  // This computer's IPv4 addresses, which the user types into the clients.
  std::function<std::vector<std::string>()> Addresses = LocalIPv4Addresses;
  // The running program's full path, which the firewall's rules name.
  std::string ProgramPath{};
  // What the system's firewall answers about incoming traffic; read on a thread of its own.
  FirewallReader::Read Firewall = ReadFirewallPolicy;
  // News of the current networks' profiles, which the firewall's answers depend on.
  FirewallReader::FollowProfiles FollowProfiles = WatchNetworkProfiles;
};

// How often the window calls Refresh at the least, so the status line keeps up with folders that
// no request reports, and with addresses where their changes cannot be followed.
inline constexpr std::chrono::minutes StatusRefreshInterval{1};

// A service manager whose queue is full hears of readiness again this often, this many times in
// all (10 seconds), serving going on meanwhile.
inline constexpr std::chrono::milliseconds ReadinessRetryInterval{100};
inline constexpr int ReadinessTries = 100;

class DesktopServer {
 public:
  // Runs requests through handOver on the toolkit's main thread; handlers log to log; dialogs ask
  // and tell the user; showStatus puts a new status on the window and the tray icon. Nothing is
  // served before Start.
  DesktopServer(MainThreadHandOver& handOver, ActivityLog& log, UserDialogs& dialogs,
                DesktopPlaces places, std::function<void(const ListenerStatus&)> showStatus);
  // Stops the endpoint before what it serves with goes.
  ~DesktopServer();
  DesktopServer(const DesktopServer&) = delete;
  DesktopServer& operator=(const DesktopServer&) = delete;

  // The start-up steps: archive folders, both ports from the settings file, the endpoint on the
  // input port, the status line and the start report on standard error. A port that cannot be
  // bound is shown to the user and start-up goes on, so another one can be chosen.
  void Start();
  // The input-port dialog: stores the port and moves the endpoint to it, or, when it cannot be
  // bound, says so and leaves the endpoint and the file as they were.
  void AskInputPort();
  // The output-port dialog: stores the port and sends later replies to it.
  void AskOutputPort();
  // Looks again at what the status shows that no request reports: this computer's addresses and
  // the game folders (the firewall is read on its own thread). Called when the window is shown
  // and every StatusRefreshInterval.
  void Refresh();
  // From now on an IPv4 address added or removed reaches the status line at once: post, called on
  // another thread, must have RefreshAddresses run on the main thread soon, without waiting for
  // it; it is not called again before that has run (or Refresh has). When the system gives no
  // such news, standard error says so and Refresh alone keeps the addresses.
  void FollowAddresses(std::function<void()> post);
  // News of a network change: reads this computer's addresses again, showing the status when they
  // changed, and has the firewall read again.
  void RefreshAddresses();
  // Puts a note under key on the status line, replacing the key's earlier one; an empty text takes
  // it away. Notes say, in Italian, what else the user should know (a log that cannot be written).
  void SetNote(NoteKey key, const std::string& text);
  // The program is ending: a dialog that returns from now on changes nothing.
  void BeginClosing() { portDialog_.BeginClosing(); }
  // Stops the endpoint, the following of addresses and the firewall's reading; the input port is
  // free when this returns.
  void Stop();
  // Tells standard error of refused requests not named yet, once that is due; the window calls it
  // every RefusalCountCheck.
  void TellRefusals();

  // Whether the endpoint listens, on which ports, and why not.
  const ListenerStatus& Status() const { return status_; }
  // The output port every reply goes to.
  std::int32_t OutputPort() const { return state_.OutputPort; }
  const ArchiveFolders& Folders() const { return folders_; }
  UDPServer& Endpoint() { return *endpoint_; }

 private:
  // Shows a message captioned with the program's title.
  void ShowError(const std::string& text);
  // A port from the settings file; a value that does not parse gives the default and is named on
  // standard error and the status line under note.
  std::int32_t ReadPort(const PortEntry& entry, NoteKey note);
  // A dialog put a port in force: its note goes, the settings are taken up anew and the status
  // told.
  void PortChanged(NoteKey note);
  // Names a settings file that exists but cannot be read; ports and rule then are the defaults.
  void CheckSettingsFile();
  // Reads who may ask from the settings file and puts it in force, telling standard error of an
  // entry that cannot be read or is ignored.
  void ReadAccess();
  // Reads whether deleted systems go to the trash ([Cancellazione] Cestino) and puts it in force.
  void ReadDeletion();
  // Serves a datagram whose source the access rule admits.
  void Serve(const ReceivedDatagram& datagram);
  // Serves from the Documents folder the system names now: a new one gets new folders and a new
  // archive, and standard error and the status line follow.
  void FollowDocuments();
  // Which game folders standard error hears of when CheckFolders looks at them.
  enum class FolderReports { None, Changed, All };
  // Notes a game folder that does not exist on the status line, telling standard error as reports
  // says; true when a note changed.
  bool CheckFolders(FolderReports reports);
  // Tells standard error and the event log of refused requests.
  void TellRefusal(const RefusalNotice& told);
  // Takes a reading of the firewall and shows the status with it, when it found something new.
  void TakeFirewall(const FirewallReading& reading);
  // Notes a firewall that surely blocks requests to the input port of status, telling standard
  // error when what is known of that changes; asks for a reading of a port not judged yet.
  void NoteFirewall(const ListenerStatus& status);
  // Reads this computer's addresses; true when they are not those shown.
  bool ReadAddresses();
  // Puts the status on the status line; ReportStatus also tells standard error.
  void ShowStatus(const ListenerStatus& status);
  void ReportStatus(const ListenerStatus& status);

  // The handlers' log: the window's, with each deletion kept in the event log in the user's words.
  class HandlerLog : public ActivityLog {
   public:
    explicit HandlerLog(ActivityLog& log);
    void Append(const std::string& line) override;
    void Notice(const std::string& line) override;
    void Warning(const std::string& line) override;
    void Deleted(const DeletedSystem& deleted) override;

   private:
    ActivityLog& log_;
  };

  // The window's log, whose events start-up holds back until it has told its start: a run's
  // events begin with "avvio", then what start-up found.
  class StartUpLog : public ActivityLog {
   public:
    explicit StartUpLog(ActivityLog& log) : log_(log) {}
    void Append(const std::string& line) override { log_.Append(line); }
    void Notice(const std::string& line) override;
    void Warning(const std::string& line) override;
    void NoticeEvent(const std::string& line, const std::string& event) override;
    void WarningEvent(const std::string& line, const std::string& event) override;
    void Deleted(const DeletedSystem& deleted) override { log_.Deleted(deleted); }
    // From now on what is told waits, in its order, until Release.
    void HoldBack() { holding_ = true; }
    // Tells what waited, in its order, and from now on tells at once.
    void Release();
    // The window's log itself, for what start-up tells first.
    ActivityLog& Direct() { return log_; }

   private:
    void Tell(std::function<void()> tell);

    ActivityLog& log_;
    bool holding_ = false;
    std::vector<std::function<void()>> held_;
  };

  StartUpLog startUpLog_;
  ActivityLog& log_ = startUpLog_;
  HandlerLog handlerLog_{log_};
  UserDialogs& dialogs_;
  const DesktopPlaces places_;
  const std::function<void(const ListenerStatus&)> showStatus_;
  ListenerStatus status_;
  RequestState state_;
  std::optional<std::string> documents_;  // the Documents folder served from, once known
  ArchiveFolders folders_;
  std::shared_ptr<SystemArchive> archive_;  // shared with the handlers
  Deletion deletion_ = Deletion::ToTrash;
  HandlerTable handlers_;
  AccessGate gate_;
  std::string accessProblem_;
  std::vector<std::string> addresses_;
  std::optional<FirewallReading> firewall_;  // the last reading taken
  std::int32_t firewallAsked_ = 0;           // the port the reader was last asked to judge
  // The last verdict told on standard error, and for which port.
  std::optional<std::pair<std::int32_t, FirewallVerdict>> firewallTold_;
  // Set while news of an address change is on its way to the main thread, so a burst of changes
  // is read once.
  std::atomic<bool> addressesPending_{false};
  std::unique_ptr<AddressWatcher> addressWatch_;
  StatusNotes notes_;
  PortDialogFlow portDialog_;
  FirewallReader firewallReader_;
  // Declared after what it serves with (request state, handlers), so it is stopped before they go,
  // also when the constructor fails half-way.
  std::unique_ptr<UDPServer> endpoint_;
};

}  // namespace varo
