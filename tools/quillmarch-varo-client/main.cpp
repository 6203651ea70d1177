// quillmarch-varo-client: asks a Quillmarch Varo Server for its stored systems from a terminal or
// a script.
#include <iostream>
#include <string>
#include <vector>

#include "ClientOptions.h"
#include "ClientRun.h"

int main(int argc, char** argv) {
  using namespace varo::client;
  const std::vector<std::string> args(argv + 1, argv + argc);
  ClientOptions options;
  try {
    options = ParseClientOptions(args);
  } catch (const UsageError& e) {
    std::cerr << "quillmarch-varo-client: " << e.what() << "\n"
              << "try quillmarch-varo-client --help\n";
    return ExitUsage;
  }
  const int code = RunClient(options, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
