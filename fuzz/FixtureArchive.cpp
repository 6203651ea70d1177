#include "FixtureArchive.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace varo::fuzz {

namespace fs = std::filesystem;

namespace {

// Columns whose sign bytes cycle through every sign count and set the side flag of both games
// now and then, so summaries and tickets see doubles, triples, quadruples and flagged columns.
std::string Columns(std::size_t count, unsigned seed) {
  std::string bytes;
  for (std::size_t c = 0; c < count; ++c) {
    for (std::size_t k = 0; k < 14; ++k) {
      unsigned v = (seed + 7 * c + 3 * k) % 16;
      if ((c + k) % 5 == 0) v |= 0x80;
      bytes.push_back(static_cast<char>(v));
    }
  }
  return bytes;
}

fs::path MakeRoot() {
  std::string pattern = (fs::temp_directory_path() / "varo-fuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), pattern);
  return pattern;
}

}  // namespace

FixtureArchive::FixtureArchive() : root_(MakeRoot()) {
  const fs::path documents = root_ / "Documents";
  folders_ = MakeArchiveFolders(documents.string());
  const std::string& calcio = folders_.TotocalcioFolder;
  const std::string& gol = folders_.TotogolFolder;
  fs::create_directories(calcio);
  fs::create_directories(gol);

  Add(calcio, "Ruota.tcl.12", Columns(3, 1));
  Add(calcio, "A.tcl.5", Columns(2, 2));
  Add(calcio, "b.tcl.5", Columns(1, 3));           // same code, found second
  Add(calcio, "Grande.tcl.$1F", Columns(130, 4));  // three tickets, the last one short
  Add(calcio, "vuoto.tcl.0", "");
  Add(calcio, "mezzo.tcl.9", Columns(2, 5) + std::string("\x03\x07\x01", 3));
  Add(calcio, "senzacodice.tcl.abc", Columns(1, 6));
  Add(calcio, "sola lettura.tcl.4", Columns(4, 7), fs::perms(0444));
  Add(calcio, "un nome lungo oltre venti.tcl.-3", Columns(5, 8));
  Add(calcio, "Citt\xE0.tcl.21", Columns(1, 9));    // not UTF-8: sent byte for byte
  Add(calcio, "a\x01riga.tcl.30", Columns(1, 10));  // a control byte the log must not show
  Add(gol, "Goal.gcl.1", Columns(3, 11));
  Add(gol, "Citt\xC3\xA0 \xE2\x82\xAC.gcl.22", Columns(2, 12));  // UTF-8 with a euro sign
  Add(gol, "grande.gcl.x41", Columns(70, 13));
  Add(gol, "vuoto.gcl.2", "");
  Add(gol, "mezzo.gcl.6", Columns(1, 14) + std::string("\x8F", 1));
  Add(gol, "nocodice.gcl.", Columns(2, 15));
  Add(gol, "ro.gcl.-1", Columns(1, 16), fs::perms(0444));
  Add(gol, "meno.gcl.-2147483648", Columns(1, 17));

  // Entries the listing leaves out; never deleted, so never restored.
  fs::create_directory(fs::path(calcio) / "vecchio.tcl.3");
  std::ofstream(fs::path(calcio) / ".nascosto.tcl.8") << "hidden";
  std::ofstream(fs::path(calcio) / "note.txt") << "not a system";
  std::ofstream(fs::path(calcio) / "Ruota.gcl.12") << "other game";
  fs::create_symlink(fs::path(calcio) / "Ruota.tcl.12", fs::path(gol) / "link.gcl.12");
}

FixtureArchive::~FixtureArchive() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void FixtureArchive::Add(const std::string& folder, const std::string& name, std::string bytes,
                         fs::perms mode) {
  files_.push_back(StoredFile{fs::path(folder) / name, std::move(bytes), mode});
  Write(files_.back());
}

void FixtureArchive::Write(const StoredFile& file) {
  {
    std::ofstream out(file.Path, std::ios::binary | std::ios::trunc);
    out.write(file.Bytes.data(), static_cast<std::streamsize>(file.Bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.Path.string());
  }
  fs::permissions(file.Path, file.Mode);
}

void FixtureArchive::Restore() const {
  for (const StoredFile& file : files_) {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(file.Path, error))) Write(file);
  }
}

}  // namespace varo::fuzz
