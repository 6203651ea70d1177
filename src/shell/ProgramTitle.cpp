#include "shell/ProgramTitle.h"

#include "platform/Paths.h"

namespace varo {

std::string ProgramTitle(std::string_view executablePath) {
  std::string_view name = FileNameOf(executablePath);
  if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) {
    name = name.substr(0, dot);
  }
  std::string title(name);
  for (std::size_t i = 1; i < title.size(); ++i) {
    if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
  }
  return title;
}

}  // namespace varo
