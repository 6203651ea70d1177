// A headless request server, for development and tests on Linux and Windows: serves the archive
// below the Documents folder with the ports of the desktop program's settings file, as one
// instance per user, and prints every ActivityLog line on standard output. Ends on Ctrl+C (SIGTERM
// on Linux, closing its console on Windows).
//
// usage: varo-headless [IN_PORT [OUT_PORT]]   (ports given here win over the settings file)
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "archive/ArchiveFolders.h"
#include "endpoint/AccessGate.h"
#include "endpoint/LoopHandOver.h"
#include "endpoint/RequestDispatch.h"
#include "endpoint/UDPServer.h"
#include "handlers/ActivityLog.h"
#include "handlers/Handlers.h"
#include "platform/CrashReporter.h"
#include "platform/DocumentsLocator.h"
#include "platform/InstanceLock.h"
#include "platform/KnownFolders.h"
#include "platform/Paths.h"
#include "platform/ShellApartment.h"
#include "platform/StopRequests.h"
#include "records/ErrorLine.h"
#include "settings/IniProfile.h"
#include "settings/TrashSetting.h"

namespace {

constexpr const char* SettingsSection = "Comunicazione";
constexpr std::int32_t DefaultInPort = 7770;
constexpr std::int32_t DefaultOutPort = 7000;

// Standard output carries the log lines and nothing else, each flushed as it comes.
class StandardOutputLog : public varo::ActivityLog {
 public:
  void Append(const std::string& line) override { std::cout << line << std::endl; }
};

// Paths are UTF-8 here; std::filesystem would read a plain string in the ANSI code page on Windows.
std::filesystem::path FileSystemPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace varo;
  // Before anything that could crash; the report goes beside the event log.
  InstallCrashReporter(EventLogFolder(), "varo-headless", VARO_VERSION);
  std::setlocale(LC_ALL, "");
  // Each log line goes out in one write when it is flushed: the C runtime writes an unbuffered
  // stream, which Windows' gives a console or a character device, a character at a time.
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  // Requests are served on this thread, and a deletion goes to the Recycle Bin through the shell,
  // whose file operation works only in a single-threaded apartment.
  ShellApartment apartment;
  WatchStopRequests();

  // Made to exist at start, as the desktop program does, also in a second instance.
  const std::string settingsFolder =
      JoinPath(JoinPath(RoamingAppDataFolder(), "Quillmarch"), "Quillmarch Varo Server");
  std::error_code folderError;
  std::filesystem::create_directories(FileSystemPath(settingsFolder), folderError);
  if (folderError) {
    std::cerr << "cannot create the settings folder " << settingsFolder << ": "
              << folderError.message() << std::endl;
  }

  InstanceLock lock(InstanceLockPath(settingsFolder));
  if (lock.HeldElsewhere()) {
    std::cerr << "varo-headless: an instance is already running for this user" << std::endl;
    return 0;
  }

  const std::string settings = JoinPath(settingsFolder, "QuillmarchvaroServer.ini");
  const std::int32_t inPort =
      argc > 1 ? std::atoi(argv[1])
               : ReadProfileInteger(SettingsSection, "InPort", DefaultInPort, settings);
  const std::int32_t outPort =
      argc > 2 ? std::atoi(argv[2])
               : ReadProfileInteger(SettingsSection, "OutPort", DefaultOutPort, settings);

  // Documents is found afresh for every request: the desktop may move it while this runs.
  DocumentsLocator documents;
  std::string servedDocuments = documents.Current();
  ArchiveFolders folders = MakeArchiveFolders(servedDocuments);
  StandardOutputLog log;
  // Deleted systems go where the desktop program sends them.
  const Deletion deletion = DeletesToTrash(settings) ? Deletion::ToTrash : Deletion::ForGood;
  HandlerTable handlers = MakeHandlerTable(folders, log, deletion);
  LoopHandOver handOver;
  RequestState state;
  state.OutputPort = outPort;
  UDPServer* endpoint = nullptr;
  // Who may ask, as the desktop program reads it.
  AccessGate gate;
  const AccessSetting access =
      ReadAccessSetting(GetPrivateProfileString("Accesso", "Reti", "", settings));
  gate.SetRule(access.Rule);
  if (!access.Problem.empty()) {
    WriteErrorLine(Severity::Warning, "varo-headless: [Accesso] Reti: cannot read the entry \"" +
                                          access.Problem + "\"; answering local networks only");
  }
  if (!access.EverySourceEntry.empty()) {
    WriteErrorLine(Severity::Warning, EverySourceWarning(access.EverySourceEntry));
  }
  const auto notice = [](const std::string& line) { WriteErrorLine(Severity::Notice, line); };
  const auto refusal = [](const RefusalNotice& told) {
    WriteErrorLine(Severity::Notice, RefusalReport(told));
  };
  UDPServer server(handOver, [&](const ReceivedDatagram& d) {
    if (gate.Admit(d, refusal)) {
      if (documents.Current() != servedDocuments) {
        servedDocuments = documents.Current();
        folders = MakeArchiveFolders(servedDocuments);
        handlers = MakeHandlerTable(folders, log, deletion);
        notice("the Documents folder is now " + servedDocuments);
      }
      UDPServerUDPRead(state, handlers, d, *endpoint);
    }
  });
  endpoint = &server;
  server.SetInputPort(inPort);
  try {
    server.Activate();
  } catch (const BindError& e) {
    std::cerr << "varo-headless: port " << inPort << ": " << e.what() << std::endl;
    return 1;
  }
  std::cerr << "serving " << folders.TotocalcioFolder << " and " << folders.TotogolFolder << " on "
            << server.InputPort() << ", replies to " << state.OutputPort << std::endl;
  // The stop condition is asked whenever the loop's wait ends: at a hand-over, at a message for
  // this thread (COM's calls into the apartment, a broadcast), and at least every 10 ms. The
  // apartment's messages are handed on there, so none waits.
  const auto stopOrPump = [&apartment] {
    apartment.DispatchPending();
    return StopRequested();
  };
  while (!StopRequested()) {
    handOver.ServeUntil(stopOrPump, std::chrono::milliseconds(500));
    gate.TellUncounted(refusal);
    KeepCrashTimeCurrent();
  }
  // The port is free before the instance lock goes, so a new instance can bind it at once.
  server.Deactivate();
  gate.TellUncounted(refusal, true);
  lock.Release();
  StopCompleted();
  return 0;
}
