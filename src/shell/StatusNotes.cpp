#include "shell/StatusNotes.h"

#include <algorithm>

namespace varo {

bool StatusNotes::Set(NoteKey key, const std::string& text) {
  const auto found = std::find_if(notes_.begin(), notes_.end(),
                                  [key](const auto& note) { return note.first == key; });
  if (found == notes_.end()) {
    if (text.empty()) return false;
    notes_.emplace_back(key, text);
  } else if (text.empty()) {
    notes_.erase(found);
  } else {
    if (found->second == text) return false;
    found->second = text;
  }
  return true;
}

bool StatusNotes::Has(NoteKey key) const {
  return std::any_of(notes_.begin(), notes_.end(),
                     [key](const auto& note) { return note.first == key; });
}

std::vector<std::string> StatusNotes::Texts() const {
  std::vector<std::string> texts;
  for (const auto& note : notes_) texts.push_back(note.second);
  return texts;
}

}  // namespace varo
