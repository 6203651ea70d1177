// What a deletion to the trash costs as copies of one name pile up there: 1,000 deletions of one
// system name into the home trash, the mean of the first 100 beside that of the last 100. A name
// already taken costs one more try, however many copies the trash holds.
//
// Works in a temporary folder of its own, with HOME pointing into it.

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Trash.h"

int main() {
  std::string pattern = (std::filesystem::temp_directory_path() / "varo-trash-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const std::filesystem::path folder = pattern;
  setenv("HOME", (folder / "home").c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  const std::filesystem::path game = folder / "home" / "Documents" / "Totocalcio";
  std::filesystem::create_directories(game);
  const std::string system = (game / "Ruota.tcl.5").string();

  constexpr int Deletions = 1000;
  constexpr int Group = 100;
  std::vector<double> microseconds;
  int trashed = 0;
  for (int i = 0; i < Deletions; ++i) {
    std::ofstream(system) << "copy " << i;
    const auto start = std::chrono::steady_clock::now();
    trashed += varo::MoveToTrash(system) == varo::Disposal::Trashed ? 1 : 0;
    microseconds.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count());
  }
  const auto mean = [&](int first) {
    double sum = 0;
    for (int i = first; i < first + Group; ++i) sum += microseconds[i];
    return sum / Group;
  };
  std::printf("deletions of one name into the trash: %d of %d trashed\n", trashed, Deletions);
  std::printf("  first %d: %8.1f us each\n", Group, mean(0));
  std::printf("  last %d:  %8.1f us each (%.2fx the first)\n", Group, mean(Deletions - Group),
              mean(Deletions - Group) / mean(0));
  std::filesystem::remove_all(folder);
  return trashed == Deletions ? 0 : 1;
}
