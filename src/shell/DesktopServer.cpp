#include "shell/DesktopServer.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "handlers/Handlers.h"
#include "platform/IniProfile.h"
#include "platform/IntegerRule.h"
#include "shell/DesktopTexts.h"

namespace varo {

namespace {

constexpr const char* SettingsSection = "Comunicazione";
constexpr const char* InPortKey = "InPort";
constexpr const char* OutPortKey = "OutPort";
constexpr std::int32_t DefaultInPort = 7770;
constexpr std::int32_t DefaultOutPort = 7000;
constexpr const char* AccessSection = "Accesso";
constexpr const char* NetworksKey = "Reti";

}  // namespace

DesktopServer::DesktopServer(MainThreadHandOver& handOver, ActivityLog& log, UserDialogs& dialogs,
                             DesktopPlaces places,
                             std::function<void(const std::string&)> showStatus)
    : log_(log), dialogs_(dialogs), places_(std::move(places)), showStatus_(std::move(showStatus)) {
  endpoint_ =
      std::make_unique<UDPServer>(handOver, [this](const ReceivedDatagram& d) { Serve(d); });
}

DesktopServer::~DesktopServer() {
  Stop();
}

void DesktopServer::Start() {
  endpoint_->Deactivate();
  folders_ = MakeArchiveFolders(places_.DocumentsFolder);
  handlers_ = MakeHandlerTable(folders_, log_);

  state_.OutputPort =
      ReadProfileInteger(SettingsSection, OutPortKey, DefaultOutPort, places_.SettingsFile);
  endpoint_->SetInputPort(
      ReadProfileInteger(SettingsSection, InPortKey, DefaultInPort, places_.SettingsFile));
  ReadAccess();
  ListenerStatus status = ListeningOn(endpoint_->InputPort(), state_.OutputPort);
  try {
    endpoint_->Activate();
  } catch (const BindError& error) {
    // Start-up goes on, so the user can reach the window and choose another input port.
    status = NotListening(endpoint_->InputPort(), state_.OutputPort, error);
    ShowError(error.what());
  }
  ShowStatus(status);
  for (const std::string& line : StartReport(std::string(texts::ProductName) + " " VARO_VERSION,
                                             status, DescribeAccessRule(gate_.Rule()), folders_)) {
    log_.Notice(line);
  }
}

void DesktopServer::ReadAccess() {
  const AccessSetting setting = ReadAccessSetting(
      GetPrivateProfileString(AccessSection, NetworksKey, "", places_.SettingsFile));
  gate_.SetRule(setting.Rule);
  accessProblem_ = setting.Problem;
  if (!accessProblem_.empty()) log_.Warning(AccessProblemReport(accessProblem_));
  if (!setting.EverySourceEntry.empty()) log_.Warning(EverySourceWarning(setting.EverySourceEntry));
  for (const std::string& entry : setting.Ignored) {
    log_.Notice("[Accesso] Reti: " + entry + " ignored: this server answers IPv4 only");
  }
}

void DesktopServer::Serve(const ReceivedDatagram& datagram) {
  if (gate_.Admit(datagram, [this](const std::string& line) { log_.Notice(line); })) {
    UDPServerUDPRead(state_, handlers_, datagram, *endpoint_);
    return;
  }
  ShowStatus(status_);  // the count of refused requests
}

void DesktopServer::AskInputPort() {
  PortDialog(InPortKey, DefaultInPort, texts::InputPortPrompt, [this](std::int32_t port) {
    endpoint_->Deactivate();
    endpoint_->SetInputPort(port);
    try {
      endpoint_->Activate();
    } catch (const std::exception& error) {
      ReportStatus(NotListening(port, state_.OutputPort, error));
      throw;
    }
    ReportStatus(ListeningOn(port, state_.OutputPort));
  });
}

void DesktopServer::AskOutputPort() {
  PortDialog(OutPortKey, DefaultOutPort, texts::OutputPortPrompt, [this](std::int32_t port) {
    state_.OutputPort = port;
    ListenerStatus status = status_;
    status.OutputPort = port;
    ReportStatus(status);
  });
}

void DesktopServer::Stop() {
  endpoint_->Deactivate();
  // No refusal arrives any more: what is still to be told is told now, not lost.
  gate_.TellUncounted([this](const std::string& line) { log_.Notice(line); }, true);
}

void DesktopServer::TellRefusals() {
  gate_.TellUncounted([this](const std::string& line) { log_.Notice(line); });
}

void DesktopServer::PortDialog(const char* key, std::int32_t defaultValue, const char* prompt,
                               const std::function<void(std::int32_t)>& putInForce) {
  // The dialog shows what the file holds, which may differ from the value in force.
  const std::string shown =
      std::to_string(ReadProfileInteger(SettingsSection, key, defaultValue, places_.SettingsFile));
  const std::optional<std::string> entered =
      dialogs_.AskText(texts::PortDialogCaption, prompt, shown);
  // A dialog cut short by the program's end changes nothing.
  if (closing_) return;
  // Cancelling stores and applies the shown value, exactly as confirming it would.
  const std::string result = entered.value_or(shown);
  try {
    const std::optional<std::int32_t> port = ParseInteger(result);
    if (!port) throw std::invalid_argument("not an integer");
    WritePrivateProfileString(SettingsSection, key, std::to_string(*port), places_.SettingsFile);
    // Who may ask is read again too: changing a port is how the settings are taken up anew.
    ReadAccess();
    putInForce(*port);
  } catch (const std::exception&) {
    ShowError(texts::InvalidPort);
  }
}

void DesktopServer::SetNote(const std::string& key, const std::string& text) {
  const auto found = std::find_if(notes_.begin(), notes_.end(),
                                  [&key](const auto& note) { return note.first == key; });
  if (found == notes_.end()) {
    if (text.empty()) return;
    notes_.emplace_back(key, text);
  } else if (text.empty()) {
    notes_.erase(found);
  } else {
    found->second = text;
  }
  ShowStatus(status_);
}

void DesktopServer::ShowError(const std::string& text) {
  dialogs_.ShowMessage(places_.ProgramTitle, text);
}

void DesktopServer::ShowStatus(const ListenerStatus& status) {
  status_ = status;
  status_.Refused = gate_.Refused();
  status_.AccessProblem = accessProblem_;
  status_.Notes.clear();
  for (const auto& note : notes_) status_.Notes.push_back(note.second);
  if (showStatus_) showStatus_(StatusLine(status_));
}

void DesktopServer::ReportStatus(const ListenerStatus& status) {
  ShowStatus(status);
  log_.Notice(StatusReport(status_));
  // The rule was read again with the port: said again as at start.
  log_.Notice("answering requests from " + DescribeAccessRule(gate_.Rule()));
}

}  // namespace varo
