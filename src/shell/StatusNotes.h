// The status line's notes: what else the user should know, one note at most on each subject, kept
// in the order first set.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace varo {

// What a note on the status line is about.
enum class NoteKey {
  SettingsFile,       // a settings file that exists but cannot be read
  InputPortSetting,   // an InPort value that does not parse
  OutputPortSetting,  // an OutPort value that does not parse or is no port
  TotocalcioFolder,   // a game folder that does not exist
  TotogolFolder,
  EventLog,  // an event log that cannot be kept as it should
  Crash,     // a crash of the last run
  Firewall,  // a firewall that blocks incoming requests
};

class StatusNotes {
 public:
  // Puts text under key, replacing the key's earlier note in its place; an empty text takes it
  // away. True when that changed anything.
  bool Set(NoteKey key, const std::string& text);
  // Whether a note is under key.
  bool Has(NoteKey key) const;
  // The notes' texts in the order they were first set; a note taken away and set again comes last.
  std::vector<std::string> Texts() const;

 private:
  std::vector<std::pair<NoteKey, std::string>> notes_;
};

}  // namespace varo
