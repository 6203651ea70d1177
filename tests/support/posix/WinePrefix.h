// Windows programs under Wine for tests on Linux: a Wine prefix of the test's own, started and
// ended with the test, and a bounded run of a command to its end.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "posix/ChildProcess.h"

namespace varo::test {

// The program's path in PATH, or nothing when it is not there.
std::optional<std::filesystem::path> ProgramOnPath(const std::string& name);

// Runs a command to its end, for at most the given seconds, its output in tag.out and tag.err in
// logs; its exit code, or nothing (a test failure) when it did not end in time.
std::optional<int> RunToEnd(const std::vector<std::string>& command, const Environment& env,
                            const std::filesystem::path& logs, const std::string& tag,
                            double seconds);

// A Wine prefix below root, with a home folder of its own that the prefix links its user folders
// to and a trash of its own, into which Wine's shell moves what its Recycle Bin takes. Wine's
// services are started first with nothing to read or wait for, or every program waits for them;
// wineserver -k ends them all when it goes.
class WinePrefix {
 public:
  WinePrefix(const std::filesystem::path& root, std::filesystem::path wine,
             std::filesystem::path wineserver);
  ~WinePrefix();
  WinePrefix(const WinePrefix&) = delete;
  WinePrefix& operator=(const WinePrefix&) = delete;

  // Windows programs of the prefix show their windows on this X display; before Boot().
  void UseDisplay(const std::string& display) { env_["DISPLAY"] = display; }
  // Starts Wine's services and makes the prefix; true when it is ready.
  bool Boot();
  // Ends every program of the prefix and Wine's server, which writes the registry files then.
  bool Shutdown();
  // Starts Wine's server again after Shutdown(), without the start-up programs wineboot runs.
  bool Resume();
  // The values of a key of HKEY_CURRENT_USER (written as Windows does, Software\Microsoft\...), as
  // user.reg had them at the last Shutdown(): strings unescaped, other types as written there
  // ("dword:00000001").
  // Nothing when the key is not there.
  std::optional<std::map<std::string, std::string>> UserKey(const std::string& key) const;

  // The Windows user's name: the one folder in drive_c/users besides Public.
  std::string UserName() const;
  std::filesystem::path UserFolder() const;
  // The prefix's own folder (drive_c, user.reg and system.reg are in it).
  std::filesystem::path Folder() const { return root_ / "prefix"; }
  std::filesystem::path Logs() const { return root_ / "logs"; }
  // The XDG trash Wine's Recycle Bin uses ($XDG_DATA_HOME/Trash), which Wine makes when first
  // asked: files/ holds what it took and info/ a record of where each was.
  std::filesystem::path Trash() const { return root_ / "data" / "Trash"; }
  const Environment& Env() const { return env_; }
  const std::filesystem::path& Wine() const { return wine_; }

 private:
  std::filesystem::path root_;
  std::filesystem::path wine_;
  std::filesystem::path wineserver_;
  Environment env_;
};

}  // namespace varo::test
