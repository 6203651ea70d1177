// A headless request server for development: serves the archive below the Documents folder
// ($XDG_DOCUMENTS_DIR, else $HOME/Documents) on 7770 (or the first argument), answers to 7000 (or
// the second) and prints every ActivityLog line on standard output. Ends on Ctrl+C.
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include "archive/ArchiveFolders.h"
#include "endpoint/LoopHandOver.h"
#include "endpoint/RequestDispatch.h"
#include "endpoint/UDPServer.h"
#include "handlers/ActivityLog.h"
#include "handlers/Handlers.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
  stopRequested = 1;
}

// Standard output carries the log lines and nothing else, each flushed as it comes.
class StandardOutputLog : public varo::ActivityLog {
 public:
  void Append(const std::string& line) override { std::cout << line << std::endl; }
};

std::string DocumentsFolder() {
  if (const char* documents = std::getenv("XDG_DOCUMENTS_DIR"); documents && *documents) {
    return documents;
  }
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/Documents";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace varo;
  std::setlocale(LC_ALL, "");
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);
  std::signal(SIGPIPE, SIG_IGN);

  const ArchiveFolders folders = MakeArchiveFolders(DocumentsFolder());
  StandardOutputLog log;
  const HandlerTable handlers = MakeHandlerTable(folders, log);
  LoopHandOver handOver;
  RequestState state;
  state.OutputPort = argc > 2 ? std::atoi(argv[2]) : 7000;
  UDPServer* endpoint = nullptr;
  UDPServer server(handOver, [&](const ReceivedDatagram& d) {
    UDPServerUDPRead(state, handlers, d, *endpoint);
  });
  endpoint = &server;
  server.SetInputPort(argc > 1 ? std::atoi(argv[1]) : 7770);
  try {
    server.Activate();
  } catch (const BindError& e) {
    std::cerr << e.what() << std::endl;
    return 1;
  }
  std::cerr << "serving " << folders.TotocalcioFolder << " and " << folders.TotogolFolder << " on "
            << server.InputPort() << ", replies to " << state.OutputPort << std::endl;
  while (!stopRequested) {
    handOver.ServeUntil([] { return stopRequested != 0; }, std::chrono::milliseconds(500));
  }
  server.Deactivate();
  return 0;
}
