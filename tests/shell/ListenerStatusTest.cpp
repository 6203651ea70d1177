// What leads the status line, the tip and the message area: the problems, before the port and the
// addresses, and within the Windows tip's 127 characters.
#include "shell/ListenerStatus.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace varo {
namespace {

ListenerStatus Listening(std::vector<std::string> addresses, std::vector<std::string> notes = {}) {
  ListenerStatus status = ListeningOn(7770, 7000);
  status.Addresses = std::move(addresses);
  status.Notes = std::move(notes);
  return status;
}

const std::string Missing =
    "cartella Totocalcio mancante: /home/u/Documenti/Quillmarch/"
    "Quillmarch Varo Server/Totocalcio";
const std::string Crash = "ultima esecuzione terminata con un errore: rapporto in /c.txt";

// Not listening for a reason of the system's own words, which the tip shows whole.
ListenerStatus NotListeningFor(const std::string& why, std::vector<std::string> notes = {}) {
  ListenerStatus status = NotListening(7770, 7000, std::runtime_error(why));
  status.Notes = std::move(notes);
  return status;
}

TEST(ListenerStatusText, ProblemsLeadTheLineTheTipAndTheMessageArea) {
  ListenerStatus taken = ListeningOn(7770, 7000);
  taken.Failure = BindFailure::InUse;
  taken.Notes = {Missing};
  taken.AccessProblem = "10.0.0.0/40";
  ListenerStatus refused = Listening({"192.168.1.20"});
  refused.Refused = 3;
  refused.LastRefused = "10.1.1.1";
  const struct {
    const char* What;
    ListenerStatus Status;
    std::string Line, Tip;
    std::vector<std::string> Messages;
  } cases[] = {
      {"all well",
       Listening({"192.168.1.20"}),
       "In ascolto sulla porta 7770 all'indirizzo 192.168.1.20; risposte alla porta 7000",
       "In ascolto sulla porta 7770 di 192.168.1.20",
       {}},
      {"no network",
       Listening({}),
       "In ascolto sulla porta 7770, solo da questo computer (nessuna rete attiva); risposte alla "
       "porta 7000",
       "In ascolto sulla porta 7770",
       {}},
      {"a refusal is no problem",
       refused,
       "In ascolto sulla porta 7770 all'indirizzo 192.168.1.20; risposte alla porta 7000; "
       "richieste rifiutate: 3 (l'ultima da 10.1.1.1)",
       "In ascolto sulla porta 7770 di 192.168.1.20",
       {}},
      {"two notes",
       Listening({"192.168.1.20"}, {Missing, Crash}),
       "C" + Missing.substr(1) + "; " + Crash +
           "; in ascolto sulla porta 7770 all'indirizzo 192.168.1.20; "
           "risposte alla porta 7000",
       "Cartella Totocalcio mancante; ultima esecuzione terminata con un errore; in ascolto sulla "
       "porta 7770 di 192.168.1.20",
       {"C" + Missing.substr(1), "U" + Crash.substr(1)}},
      {"not listening first",
       taken,
       "Non in ascolto: porta 7770 in uso; " + Missing +
           "; voce [Accesso] Reti non valida: \"10.0.0.0/40\", si risponde solo alle reti "
           "locali; risposte alla porta 7000",
       "Non in ascolto: porta 7770 in uso; cartella Totocalcio mancante; voce [Accesso] Reti non "
       "valida",
       {"Non in ascolto: porta 7770 in uso", "C" + Missing.substr(1),
        "Voce [Accesso] Reti non valida: \"10.0.0.0/40\", si risponde solo alle reti locali"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StatusLine(c.Status), c.Line) << c.What;
    EXPECT_EQ(TrayTip(c.Status), "Quillmarch Varo Server\n" + c.Tip) << c.What;
    EXPECT_EQ(MessageLines(c.Status), c.Messages) << c.What;
  }
}

TEST(ListenerStatusText, TheWindowsTipKeepsProblemsFirstWithin127Units) {
  // "Quillmarch Varo Server\n" takes 23 of the 127 UTF-16 units, leaving 104 for the state.
  const std::vector<std::string> four = {"192.168.100.200", "172.31.250.250", "10.200.200.200",
                                         "192.168.56.1"};
  const std::vector<std::string> notes = {Missing, "registro eventi non scrivibile"};
  // Headlines of 25, 30 and 45.
  const std::string totogol = "cartella Totogol mancante: /home/u/Documenti/Totogol";
  const std::string unwritable = "registro eventi non scrivibile";
  const std::string tooLong = "registro eventi oltre 1 MiB, non rinominabile";
  // "Non in ascolto: porta 7770: " is 28 units; 90 more make a first problem of 118.
  const std::string x90(90, 'x');
  // U+1D11E, two UTF-16 units, ending at unit 104 of the problem's 103 of room before "…".
  const std::string clef = std::string(74, 'x') + "\xF0\x9D\x84\x9E" + "yyyy";
  const struct {
    const char* What;
    ListenerStatus Status;
    std::string Tip;
  } cases[] = {
      // 27 + 19 + 16 + 16 + 14 = 92: all fit.
      {"all addresses fit", Listening(four),
       "In ascolto sulla porta 7770 di 192.168.100.200, 172.31.250.250, 10.200.200.200, "
       "192.168.56.1"},
      // Problems take 28 + 2 + 30 = 60 and the port 2 + 27 = 29: 89, leaving 15 for addresses;
      // " di 192.168.100.200" alone is 19, so none is shown.
      {"problems push the addresses out", Listening(four, notes),
       "Cartella Totocalcio mancante; registro eventi non scrivibile; in ascolto sulla porta 7770"},
      // 28 + 2 + 27 = 57; " di 192.168.100.200, 172.31.250.250, 10.200.200.200" (51) and
      // " e un altro" (11) would be 119: two addresses and " e altri 2" make 57 + 35 + 10 = 102.
      {"the addresses that fit, then how many more", Listening(four, {Missing}),
       "Cartella Totocalcio mancante; in ascolto sulla porta 7770 di 192.168.100.200, "
       "172.31.250.250 e altri 2"},
      // 28 + 2 + 30 + 2 + 45 = 107; without the last, 60 + " e un altro problema" (20) = 80.
      {"one problem that does not fit", Listening(four, {Missing, unwritable, tooLong}),
       "Cartella Totocalcio mancante; registro eventi non scrivibile e un altro problema"},
      // 28 + 2 + 25 + 2 + 30 = 87 + 20 > 104; 55 + " e altri 2 problemi" (19) = 74.
      {"problems that do not fit", Listening(four, {Missing, totogol, unwritable, tooLong}),
       "Cartella Totocalcio mancante; cartella Totogol mancante e altri 2 problemi"},
      // 83 + "…" + 20 = 104, to the unit.
      {"a first problem longer than the tip, another counted", NotListeningFor(x90, {Missing}),
       "Non in ascolto: porta 7770: " + std::string(55, 'x') + "\xE2\x80\xA6 e un altro problema"},
      {"a first problem longer than the tip alone", NotListeningFor(x90),
       "Non in ascolto: porta 7770: " + std::string(75, 'x') + "\xE2\x80\xA6"},
      // 28 + 74 = 102 units; the clef would end at 104, past the 103 before "…".
      {"no character beyond the basic plane over the bound", NotListeningFor(clef),
       "Non in ascolto: porta 7770: " + std::string(74, 'x') + "\xE2\x80\xA6"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrayTip(c.Status, {127}), "Quillmarch Varo Server\n" + c.Tip) << c.What;
  }
}

// Windows' notification areas read "&" as a mnemonic, each in its own way; the tip is written so
// that every "&" of a path shows, and what it takes to write one counts toward the bound.
TEST(ListenerStatusText, EveryAmpersandOfThePathShowsInTheTip) {
  const ListenerStatus path = NotListeningFor("nessun accesso a C:\\Rossi & Figli\\A&&B");
  const std::string lead = "Quillmarch Varo Server\nNon in ascolto: porta 7770: ";
  // 28 + 73 = 101 units before the "&": written as one, two or three units it fits 103 or not.
  const ListenerStatus atTheBound =
      NotListeningFor(std::string(73, 'x') + "&" + std::string(20, 'y'));
  const std::string x73 = lead + std::string(73, 'x');
  const struct {
    TipAmpersands Ampersands;
    std::string Whole, AtTheBound;
  } cases[] = {
      {TipAmpersands::AsIs, lead + "nessun accesso a C:\\Rossi & Figli\\A&&B",
       x73 + "&y\xE2\x80\xA6"},
      {TipAmpersands::Prefixed, lead + "nessun accesso a C:\\Rossi && Figli\\A&&&&B",
       x73 + "&&\xE2\x80\xA6"},
      {TipAmpersands::StrippedThenPrefixed, lead + "nessun accesso a C:\\Rossi &&& Figli\\A&&&&&B",
       x73 + "\xE2\x80\xA6"},
  };
  for (const auto& c : cases) {
    const auto mode = static_cast<int>(c.Ampersands);
    EXPECT_EQ(TrayTip(path, {127, c.Ampersands}), c.Whole) << mode;
    EXPECT_EQ(TrayTip(atTheBound, {127, c.Ampersands}), c.AtTheBound) << mode;
  }
  // The desktops of Linux show the tip as it is, with no bound.
  EXPECT_EQ(TrayTip(path), lead + "nessun accesso a C:\\Rossi & Figli\\A&&B");
}

}  // namespace
}  // namespace varo
