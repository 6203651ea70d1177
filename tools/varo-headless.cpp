// A headless request server for development: serves on 7770 (or the first argument) and answers
// to 7000 (or the second), printing one line per datagram served. Ends on Ctrl+C.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "endpoint/LoopHandOver.h"
#include "endpoint/RequestDispatch.h"
#include "endpoint/UDPServer.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

}  // namespace

int main(int argc, char** argv) {
  using namespace varo;
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);

  LoopHandOver handOver;
  RequestState state;
  HandlerTable handlers;
  state.OutputPort = argc > 2 ? std::atoi(argv[2]) : 7000;
  UDPServer* endpoint = nullptr;
  UDPServer server(handOver, [&](const ReceivedDatagram& d) {
    UDPServerUDPRead(state, handlers, d, *endpoint);
    std::cout << "served " << d.Bytes.size() << " bytes from " << d.SenderText() << std::endl;
  });
  endpoint = &server;
  server.SetInputPort(argc > 1 ? std::atoi(argv[1]) : 7770);
  try {
    server.Activate();
  } catch (const BindError& e) {
    std::cerr << e.what() << std::endl;
    return 1;
  }
  std::cerr << "serving on " << server.InputPort() << ", replies to " << state.OutputPort
            << std::endl;
  while (!stopRequested) {
    handOver.ServeUntil([] { return stopRequested != 0; }, std::chrono::milliseconds(500));
  }
  server.Deactivate();
  return 0;
}
