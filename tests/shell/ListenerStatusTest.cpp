// What leads the status line, the tip and the message area: the problems, before the port and the
// addresses, and within the Windows tip's 127 characters.
#include "shell/ListenerStatus.h"

#include <gtest/gtest.h>

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

TEST(ListenerStatusText, TheWindowsTipKeepsProblemsFirstWithin127Characters) {
  // "Quillmarch Varo Server\n" takes 23 of the 127 characters, leaving 104 for the state.
  const std::vector<std::string> four = {"192.168.100.200", "172.31.250.250", "10.200.200.200",
                                         "192.168.56.1"};
  const std::vector<std::string> notes = {Missing, "registro eventi non scrivibile"};
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
  };
  for (const auto& c : cases) {
    const std::string tip = TrayTip(c.Status, 127);
    EXPECT_EQ(tip, "Quillmarch Varo Server\n" + c.Tip) << c.What;
    EXPECT_LE(tip.size(), 127u) << c.What;
  }
}

}  // namespace
}  // namespace varo
