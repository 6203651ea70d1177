#include "shell/DesktopServer.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "endpoint/ReceivedDatagram.h"
#include "handlers/Handlers.h"
#include "platform/CrashReporter.h"
#include "platform/FileReplace.h"
#include "platform/FolderWatch.h"
#include "records/Printable.h"
#include "settings/IniProfile.h"
#include "settings/PortRule.h"
#include "settings/TrashSetting.h"
#include "shell/DesktopTexts.h"

namespace varo {

namespace {

constexpr const char* SettingsSection = "Comunicazione";
constexpr const char* AccessSection = "Accesso";
constexpr const char* NetworksKey = "Reti";

// A port of the settings file: where it lives, how its dialog asks for it, and its note.
struct PortSetting {
  PortEntry Entry;
  NoteKey Note;
};
constexpr PortSetting InPort{{SettingsSection, "InPort", 7770, texts::InputPortPrompt},
                             NoteKey::InputPortSetting};
constexpr PortSetting OutPort{{SettingsSection, "OutPort", 7000, texts::OutputPortPrompt},
                              NoteKey::OutputPortSetting};

struct GameFolderNote {
  std::uint8_t Game;
  const char* Name;
  NoteKey Key;
};
constexpr std::array<GameFolderNote, 2> GameFolderNotes{{
    {GameTotocalcio, "Totocalcio", NoteKey::TotocalcioFolder},
    {GameTotogol, "Totogol", NoteKey::TotogolFolder},
}};

}  // namespace

DesktopServer::DesktopServer(MainThreadHandOver& handOver, ActivityLog& log, UserDialogs& dialogs,
                             DesktopPlaces places,
                             std::function<void(const ListenerStatus&)> showStatus)
    : startUpLog_(log),
      dialogs_(dialogs),
      places_(std::move(places)),
      showStatus_(std::move(showStatus)),
      portDialog_(dialogs, log, places_.SettingsFile, places_.ProgramTitle,
                  [this]() -> std::optional<std::int32_t> {
                    if (!endpoint_->Active()) return std::nullopt;
                    return endpoint_->InputPort();
                  }),
      firewallReader_(handOver, places_.Firewall, places_.FollowProfiles, places_.ProgramPath,
                      [this](const FirewallReading& reading) { TakeFirewall(reading); }) {
  endpoint_ =
      std::make_unique<UDPServer>(handOver, [this](const ReceivedDatagram& d) { Serve(d); });
}

DesktopServer::~DesktopServer() {
  Stop();
}

void DesktopServer::Start() {
  // What start-up finds is told after the start itself, as it happened to the user: the start,
  // then the settings that do not work, then the message about a port that cannot be had.
  startUpLog_.HoldBack();
  // Whatever ends start-up early still tells what it held back.
  struct ReleaseAtEnd {
    StartUpLog& Log;
    ~ReleaseAtEnd() { Log.Release(); }
  } releaseAtEnd{startUpLog_};
  endpoint_->Deactivate();
  FollowDocuments();
  CheckSettingsFile();

  state_.OutputPort = ReadPort(OutPort.Entry, OutPort.Note);
  if (!IsUsablePort(state_.OutputPort)) {
    // Replies to such a port go nowhere while the log says they were sent.
    const std::string value = std::to_string(state_.OutputPort);
    log_.WarningEvent(
        "settings: OutPort=" + value + " in " + places_.SettingsFile +
            " is not a port from 1 to 65535; replies go to " +
            std::to_string(OutPort.Entry.Default),
        texts::NotAPortEvent("OutPort=" + value, places_.SettingsFile, OutPort.Entry.Default));
    notes_.Set(OutPort.Note, texts::NotAPortNote("OutPort=" + value, OutPort.Entry.Default));
    state_.OutputPort = OutPort.Entry.Default;
  }
  const std::int32_t inPort = ReadPort(InPort.Entry, InPort.Note);
  endpoint_->SetInputPort(inPort);
  firewallAsked_ = inPort;  // read first by the reader's start, below
  ReadAccess();
  ReadDeletion();
  ReadAddresses();

  ListenerStatus status = ListeningOn(inPort, state_.OutputPort);
  std::string bindMessage;
  try {
    // Port 0 would bind a port the system picks, which no client could find.
    if (!IsUsablePort(inPort)) throw BindError(BindFailure::InvalidPort);
    endpoint_->Activate();
  } catch (const BindError& error) {
    // Start-up goes on, so the user can reach the window and choose another input port.
    status = NotListening(inPort, state_.OutputPort, error);
    // A number that is no port was never tried: it is not valid, not in use.
    const std::string first =
        error.Why() == BindFailure::InvalidPort ? texts::InvalidPort : error.what();
    bindMessage = first + "\n" + texts::InputPortAdvice(error.Why(), inPort);
  }
  CheckFolders(FolderReports::None);  // the start report names them
  ShowStatus(status);
  for (const ReportedEvent& told : StartReport(std::string(texts::ProductName) + " " VARO_VERSION,
                                               status, gate_.Rule(), folders_)) {
    startUpLog_.Direct().NoticeEvent(told.Line, told.Event);
  }
  startUpLog_.Release();
  // Told in the event log as it is shown, not when it is closed.
  if (!bindMessage.empty()) ShowError(bindMessage);
  try {
    firewallReader_.Start(inPort);
  } catch (const std::system_error& error) {
    log_.Warning(std::string("cannot start reading Windows Firewall's policy: ") + error.what());
  }
}

std::int32_t DesktopServer::ReadPort(const PortEntry& entry, NoteKey note) {
  const std::string text =
      GetPrivateProfileString(entry.Section, entry.Key, "", places_.SettingsFile);
  const std::optional<std::int32_t> value = ParseProfileInteger(text);
  if (text.empty() || value) {
    notes_.Set(note, "");
    return value.value_or(entry.Default);
  }
  // The default still applies, but a typo must not look like a setting taken.
  const std::string shown = std::string(entry.Key) + "=" + Printable(text);
  const std::string fallback = std::to_string(entry.Default);
  log_.WarningEvent(
      "settings: " + shown + " in " + places_.SettingsFile + " is not a number; using " + fallback,
      texts::NotANumberEvent(shown, places_.SettingsFile, entry.Default));
  notes_.Set(note, texts::NotANumberNote(shown, entry.Default));
  return entry.Default;
}

void DesktopServer::CheckSettingsFile() {
  std::string problem;
  try {
    (void)ReadWholeFile(places_.SettingsFile);
  } catch (const std::exception& error) {
    problem = error.what();
  }
  const bool noted = notes_.Has(NoteKey::SettingsFile);
  if (!problem.empty() && !noted) {
    // An owner's narrowed [Accesso] Reti would widen to the default without a word.
    log_.WarningEvent("cannot read the settings file " + places_.SettingsFile + ": " + problem +
                          "; using the default ports and answering local networks only",
                      texts::UnreadableSettingsEvent(places_.SettingsFile, problem));
  }
  notes_.Set(NoteKey::SettingsFile,
             problem.empty() ? "" : texts::UnreadableSettingsNote(Printable(places_.SettingsFile)));
}

void DesktopServer::ReadAccess() {
  const AccessSetting setting = ReadAccessSetting(
      GetPrivateProfileString(AccessSection, NetworksKey, "", places_.SettingsFile));
  gate_.SetRule(setting.Rule);
  accessProblem_ = setting.Problem;
  if (!accessProblem_.empty()) {
    log_.WarningEvent(AccessProblemReport(accessProblem_),
                      texts::AccessEntryNotValid(accessProblem_));
  }
  if (!setting.EverySourceEntry.empty()) {
    log_.WarningEvent(EverySourceWarning(setting.EverySourceEntry),
                      texts::EverySourceEvent(setting.EverySourceEntry));
  }
  for (const std::string& entry : setting.Ignored) {
    log_.NoticeEvent("[Accesso] Reti: " + entry + " ignored: this server answers IPv4 only",
                     texts::IgnoredEntryEvent(entry));
  }
}

void DesktopServer::ReadDeletion() {
  deletion_ = DeletesToTrash(places_.SettingsFile) ? Deletion::ToTrash : Deletion::ForGood;
  if (archive_) archive_->SetDeletion(deletion_);
}

void DesktopServer::Serve(const ReceivedDatagram& datagram) {
  if (!gate_.Admit(datagram, [this](const RefusalNotice& told) { TellRefusal(told); })) {
    ShowStatus(status_);  // the count of refused requests
    return;
  }
  FollowDocuments();
  try {
    UDPServerUDPRead(state_, handlers_, datagram, *endpoint_);
  } catch (...) {
    // A game folder that is not there fails its requests: the user must see which and where.
    if (CheckFolders(FolderReports::Changed)) ShowStatus(status_);
    throw;
  }
  const bool folderMissing = std::any_of(GameFolderNotes.begin(), GameFolderNotes.end(),
                                         [this](const auto& game) { return notes_.Has(game.Key); });
  if (folderMissing && CheckFolders(FolderReports::Changed)) ShowStatus(status_);
}

void DesktopServer::FollowDocuments() {
  const std::string documents = places_.Documents ? places_.Documents() : std::string();
  if (documents_ == documents) return;
  const bool moved = documents_.has_value();
  documents_ = documents;
  folders_ = MakeArchiveFolders(documents);
  archive_ = std::make_shared<SystemArchive>(folders_);
  archive_->SetDeletion(deletion_);
  handlers_ = MakeHandlerTable(archive_, handlerLog_);
  if (!moved) return;
  log_.NoticeEvent("the Documents folder is now " + documents,
                   texts::DocumentsMovedEvent(documents));
  CheckFolders(FolderReports::All);
  ShowStatus(status_);
}

bool DesktopServer::CheckFolders(FolderReports reports) {
  bool changed = false;
  for (const GameFolderNote& game : GameFolderNotes) {
    const std::string& folder = GameFolder(folders_, game.Game);
    // No Documents folder is no game folder, whatever an empty path reads as.
    const bool present = !folder.empty() && FolderIdentityOf(folder).has_value();
    const std::string note = present ? "" : texts::MissingFolderNote(game.Name, Printable(folder));
    const bool noteChanged = notes_.Set(game.Key, note);
    changed = changed || noteChanged;
    if (reports == FolderReports::All || (reports == FolderReports::Changed && noteChanged)) {
      log_.NoticeEvent(FolderReport(game.Name, folder, present),
                       texts::FolderEvent(game.Name, folder, present));
    }
  }
  return changed;
}

void DesktopServer::Refresh() {
  // Each minute: a crash report after a change to or from summer time carries the new offset.
  KeepCrashTimeCurrent();
  ReadAddresses();
  FollowDocuments();
  CheckFolders(FolderReports::Changed);
  ShowStatus(status_);
}

void DesktopServer::TakeFirewall(const FirewallReading& reading) {
  // Most readings find what the last one did (every one, where no firewall can be read).
  if (firewall_ && firewall_->Port == reading.Port && firewall_->Verdict == reading.Verdict) return;
  firewall_ = reading;
  ShowStatus(status_);
}

void DesktopServer::NoteFirewall(const ListenerStatus& status) {
  // A reading of another port says nothing of this one, which is read as soon as may be.
  std::optional<FirewallVerdict> verdict;
  if (status.Listening()) {
    if (firewall_ && firewall_->Port == status.InputPort) {
      verdict = firewall_->Verdict;
    } else if (firewallAsked_ != status.InputPort) {
      firewallAsked_ = status.InputPort;
      firewallReader_.ReadSoon(status.InputPort);
    }
  }
  const std::uint32_t blocking = verdict ? verdict->Blocking : 0;
  notes_.Set(NoteKey::Firewall, blocking != 0 ? texts::FirewallBlocksNote(blocking) : "");
  if (!verdict || (firewallTold_ && firewallTold_->first == status.InputPort &&
                   firewallTold_->second == *verdict)) {
    return;
  }
  const bool problemTold =
      firewallTold_ && (firewallTold_->second.Blocking | firewallTold_->second.Undecided) != 0;
  firewallTold_.emplace(status.InputPort, *verdict);
  const std::string port = "input port " + std::to_string(status.InputPort);
  if (verdict->Blocking != 0) {
    log_.Warning("Windows Firewall blocks requests to " + port + " on the current network");
  } else if (verdict->Undecided != 0) {
    log_.Notice("cannot tell whether Windows Firewall lets requests to " + port +
                " in: a rule for them covers only part of the traffic, or group policy decides");
  } else if (problemTold) {
    log_.Notice("Windows Firewall lets requests to " + port + " in");
  }
}

void DesktopServer::FollowAddresses(std::function<void()> post) {
  addressWatch_.reset();
  try {
    addressWatch_ = std::make_unique<AddressWatcher>([this, post = std::move(post)] {
      if (!addressesPending_.exchange(true)) post();
    });
  } catch (const std::system_error& error) {
    log_.Warning(std::string(error.what()) + "; addresses are read again every minute");
  }
}

void DesktopServer::RefreshAddresses() {
  // A network that came or went may be of another profile.
  firewallReader_.ReadSoon(status_.InputPort);
  if (ReadAddresses()) ShowStatus(status_);
}

bool DesktopServer::ReadAddresses() {
  // Cleared before the reading: a change that comes during it is told again.
  addressesPending_ = false;
  std::vector<std::string> addresses =
      places_.Addresses ? places_.Addresses() : std::vector<std::string>();
  if (addresses == addresses_) return false;
  addresses_ = std::move(addresses);
  return true;
}

void DesktopServer::AskInputPort() {
  const bool changed = portDialog_.Ask(InPort.Entry, [this](std::int32_t port,
                                                            const std::function<void()>& save) {
    try {
      endpoint_->MoveTo(port, save);
    } catch (const BindError& error) {
      const bool listening = endpoint_->Active();
      log_.WarningEvent(
          "input port not moved: " + FailureReport(NotListening(port, state_.OutputPort, error)) +
              "; " + (listening ? "still " + StatusReport(status_) : std::string("not listening")),
          texts::PortNotMovedEvent(
              texts::PortProblem(error.Why(), port, error.what()),
              listening ? "ancora " + StatusEvent(status_) : std::string("non in ascolto")));
      throw;
    } catch (const SettingsNotSaved&) {
      throw;
    } catch (const std::exception& error) {
      // The new port was bound and stored, but no listener could start on it.
      ReportStatus(NotListening(port, state_.OutputPort, error));
      throw;
    }
  });
  if (changed) PortChanged(InPort.Note);
}

void DesktopServer::AskOutputPort() {
  const bool changed =
      portDialog_.Ask(OutPort.Entry, [this](std::int32_t port, const std::function<void()>& save) {
        save();
        state_.OutputPort = port;
      });
  if (changed) PortChanged(OutPort.Note);
}

void DesktopServer::Stop() {
  addressWatch_.reset();
  firewallReader_.Stop();
  endpoint_->Deactivate();
  // No refusal arrives any more: what is still to be told is told now, not lost.
  gate_.TellUncounted([this](const RefusalNotice& told) { TellRefusal(told); }, true);
}

void DesktopServer::TellRefusals() {
  gate_.TellUncounted([this](const RefusalNotice& told) { TellRefusal(told); });
}

void DesktopServer::TellRefusal(const RefusalNotice& told) {
  log_.NoticeEvent(RefusalReport(told), texts::RefusalEvent(told));
}

void DesktopServer::StartUpLog::Tell(std::function<void()> tell) {
  if (holding_) {
    held_.push_back(std::move(tell));
  } else {
    tell();
  }
}

void DesktopServer::StartUpLog::Notice(const std::string& line) {
  Tell([this, line] { log_.Notice(line); });
}

void DesktopServer::StartUpLog::Warning(const std::string& line) {
  Tell([this, line] { log_.Warning(line); });
}

void DesktopServer::StartUpLog::NoticeEvent(const std::string& line, const std::string& event) {
  Tell([this, line, event] { log_.NoticeEvent(line, event); });
}

void DesktopServer::StartUpLog::WarningEvent(const std::string& line, const std::string& event) {
  Tell([this, line, event] { log_.WarningEvent(line, event); });
}

void DesktopServer::StartUpLog::Release() {
  holding_ = false;
  std::vector<std::function<void()>> held;
  held.swap(held_);
  for (const auto& tell : held) tell();
}

DesktopServer::HandlerLog::HandlerLog(ActivityLog& log) : log_(log) {}

void DesktopServer::HandlerLog::Append(const std::string& line) {
  log_.Append(line);
}

void DesktopServer::HandlerLog::Notice(const std::string& line) {
  log_.Notice(line);
}

void DesktopServer::HandlerLog::Warning(const std::string& line) {
  log_.Warning(line);
}

void DesktopServer::HandlerLog::Deleted(const DeletedSystem& deleted) {
  const std::string path = Printable(deleted.Path);
  log_.NoticeEvent(DeletionReport(deleted), texts::DeletionEvent(DottedQuad(deleted.SenderAddress),
                                                                 deleted.SenderPort, path));
  log_.NoticeEvent(DisposalReport(deleted),
                   texts::DisposalEvent(deleted.Where == Disposal::Trashed, path));
}

void DesktopServer::PortChanged(NoteKey note) {
  notes_.Set(note, "");
  // Who may ask is read again too: changing a port is how the settings are taken up anew.
  CheckSettingsFile();
  ReadAccess();
  ReadDeletion();
  ListenerStatus status = status_;
  status.OutputPort = state_.OutputPort;
  if (endpoint_->Active()) {
    status.InputPort = endpoint_->InputPort();
    status.Failure.reset();
    status.FailureText.clear();
  }
  ReportStatus(status);
}

void DesktopServer::SetNote(NoteKey key, const std::string& text) {
  if (notes_.Set(key, text)) ShowStatus(status_);
}

void DesktopServer::ShowError(const std::string& text) {
  dialogs_.ShowMessage(places_.ProgramTitle, text);
}

void DesktopServer::ShowStatus(const ListenerStatus& status) {
  status_ = status;
  status_.Refused = gate_.Refused();
  status_.LastRefused = gate_.LastRefused() != 0 ? DottedQuad(gate_.LastRefused()) : "";
  status_.AccessProblem = accessProblem_;
  status_.Addresses = addresses_;
  // The verdict follows the port shown, whichever way it came to be shown.
  NoteFirewall(status_);
  status_.Notes = notes_.Texts();
  if (showStatus_) showStatus_(status_);
}

void DesktopServer::ReportStatus(const ListenerStatus& status) {
  ShowStatus(status);
  log_.NoticeEvent(StatusReport(status_), StatusEvent(status_));
  // The rule was read again with the port: said again as at start.
  log_.NoticeEvent("answering requests from " + DescribeAccessRule(gate_.Rule()),
                   texts::WhoMayAskEvent(gate_.Rule()));
}

}  // namespace varo
