#include "ClientOutput.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

#include "ClientText.h"
#include "protocol/Commands.h"

namespace varo::client {

namespace {

std::string Hex(const std::array<std::uint8_t, 4>& bytes) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X %02X %02X %02X", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

std::string Date(std::uint16_t year, std::uint8_t month, std::uint8_t day) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", year, month, day);
  return text;
}

// Characters on screen, counting UTF-8 sequences once.
std::size_t Width(const std::string& utf8) {
  std::size_t n = 0;
  for (const char c : utf8) n += (static_cast<std::uint8_t>(c) & 0xC0) != 0x80;
  return n;
}

std::string PadRight(const std::string& text, std::size_t width) {
  const std::size_t w = Width(text);
  return w >= width ? text : text + std::string(width - w, ' ');
}

std::string PadLeft(const std::string& text, std::size_t width) {
  const std::size_t w = Width(text);
  return w >= width ? text : std::string(width - w, ' ') + text;
}

// One reading as the field holds it: a count or cost by its unsigned bit pattern.
std::string Value(const ReplyNumber& number, std::int32_t reading) {
  return number.Unsigned ? std::to_string(static_cast<std::uint32_t>(reading))
                         : std::to_string(reading);
}

// The euro amount of a cost's reading, " (7.00 euro)", or nothing when there is no reading.
std::string Euro(const ReplyNumber& cents) {
  if (!cents.Reading) return "";
  const std::uint32_t v = static_cast<std::uint32_t>(cents.Reading->Value);
  char text[48];
  std::snprintf(text, sizeof text, " (%u.%02u euro)", v / 100, v % 100);
  return text;
}

// "the server counts 3 systems in the folder (modulo 256)"
std::string FolderCount(std::uint8_t folderCountMod256) {
  return "the server counts " + CountOf(folderCountMod256, "system", "systems") +
         " in the folder (modulo 256)";
}

// "key": value, plus "key_or" for a second reading and "key_bytes" when there is no reading.
std::string JsonNumber(const std::string& key, const ReplyNumber& number) {
  std::string out = JsonQuote(key) + ": ";
  if (!number.Reading) {
    return out + "null, " + JsonQuote(key + "_bytes") + ": " + JsonQuote(Hex(number.Bytes));
  }
  out += Value(number, number.Reading->Value);
  if (number.Reading->Ambiguous && number.Reading->Other) {
    out += ", " + JsonQuote(key + "_or") + ": " + Value(number, *number.Reading->Other);
  }
  return out;
}

std::string StatusName(std::uint16_t status) {
  return status == StatusOk ? "found" : "not found";
}

// The start of an information or ticket object: game, status and whether it was found.
std::string JsonHead(Game game, std::uint16_t status) {
  return "{\"game\": " + JsonQuote(GameName(game)) + ", \"status\": " + std::to_string(status) +
         ", \"found\": " + (status == StatusOk ? "true" : "false");
}

}  // namespace

std::string FormatNumber(const ReplyNumber& number) {
  if (!number.Reading) return "? (bytes " + Hex(number.Bytes) + ")";
  std::string text = Value(number, number.Reading->Value);
  if (number.Reading->Ambiguous && number.Reading->Other) {
    text += " (or " + Value(number, *number.Reading->Other) + ")";
  }
  return text;
}

std::string FormatCost(const ReplyNumber& cents) {
  return FormatNumber(cents) + Euro(cents);
}

std::string SignsOfMatch(const TicketColumn& column, int match) {
  static const char* const Signs[4] = {"1", "X", "2", "4"};
  std::string out;
  for (int b = 0; b < 4; ++b) {
    if (column.SignMasks[b] >> match & 1) out += Signs[b];
  }
  return out.empty() ? "-" : out;
}

std::string ListTable(const ListReply& list, Game game) {
  std::ostringstream out;
  std::vector<std::string> codes;
  std::size_t codeWidth = 4;
  for (const ListEntry& e : list.Entries) {
    codes.push_back(FormatNumber(e.Code));
    codeWidth = std::max(codeWidth, Width(codes.back()));
  }
  // Cents right-aligned below their heading, the euro amount after them.
  std::vector<std::string> cents;
  std::size_t centsWidth = 12;
  for (const ListEntry& e : list.Entries) {
    cents.push_back(FormatNumber(e.TotalCost));
    centsWidth = std::max(centsWidth, Width(cents.back()));
  }
  out << GameName(game) << ": " << CountOf(list.Entries.size(), "system", "systems") << " shown; "
      << FolderCount(list.FolderCountMod256) << "\n";
  out << "  pos  " << PadRight("code", codeWidth) << "  " << PadRight("name", 20)
      << "  date        " << PadLeft("cost (cents)", centsWidth) << "\n";
  for (std::size_t k = 0; k < list.Entries.size(); ++k) {
    const ListEntry& e = list.Entries[k];
    out << PadLeft(std::to_string(e.Position), 5) << "  " << PadLeft(codes[k], codeWidth) << "  "
        << PadRight(WireNameForDisplay(e.Name), 20) << "  " << Date(e.Year, e.Month, e.Day) << "  "
        << PadLeft(cents[k], centsWidth) << Euro(e.TotalCost) << "\n";
  }
  return out.str();
}

std::string NoSystemsText(Game game, std::uint32_t first, std::uint32_t last,
                          std::uint8_t folderCountMod256) {
  const std::string where = first == last ? " system at position " + std::to_string(first)
                                          : " systems at positions " + std::to_string(first) +
                                                " to " + std::to_string(last);
  return std::string("no ") + GameName(game) + where + "; " + FolderCount(folderCountMod256) + "\n";
}

std::string NothingStoredText(Game game) {
  return std::string(GameName(game)) + ": no systems stored\n";
}

std::string ListJson(const ListReply& list, Game game) {
  std::ostringstream out;
  out << "{\"game\": " << JsonQuote(GameName(game)) << ", \"status\": " << list.Status
      << ", \"folder_count_mod_256\": " << static_cast<int>(list.FolderCountMod256)
      << ", \"systems\": [";
  for (std::size_t k = 0; k < list.Entries.size(); ++k) {
    const ListEntry& e = list.Entries[k];
    out << (k ? ", " : "") << "{\"position\": " << e.Position << ", " << JsonNumber("code", e.Code)
        << ", \"name\": " << JsonQuote(WireNameToUtf8(e.Name))
        << ", \"date\": " << JsonQuote(Date(e.Year, e.Month, e.Day)) << ", "
        << JsonNumber("total_cost_cents", e.TotalCost) << "}";
  }
  out << "]}\n";
  return out.str();
}

std::string SummaryTable(const SummaryReply& s, Game game) {
  std::ostringstream out;
  auto line = [&out](const std::string& label, const std::string& value) {
    out << "  " << PadRight(label, 22) << value << "\n";
  };
  out << GameName(game) << " system " << FormatNumber(s.Code) << "\n";
  line("status", std::to_string(s.Status) + " (" + StatusName(s.Status) + ")");
  line("code", FormatNumber(s.Code));
  line("name", WireNameForDisplay(s.Name));
  line("date", Date(s.Year, s.Month, s.Day));
  line("tickets", std::to_string(s.Tickets));
  line("main combinations", FormatNumber(s.MainCombinations));
  line("side combinations", FormatNumber(s.SideCombinations));
  line("all combinations", FormatNumber(s.AllCombinations));
  line("main cost (cents)", FormatCost(s.MainCost));
  line("side cost (cents)", FormatCost(s.SideCost));
  line("total cost (cents)", FormatCost(s.TotalCost));
  line("marker", std::to_string(s.Marker));
  line("total cost again", FormatNumber(s.TotalCostAgain));
  return out.str();
}

std::string SummaryJson(const SummaryReply& s, Game game) {
  // A missing system's reply is zero-filled: nothing in it describes a system.
  if (s.Status != StatusOk) return JsonHead(game, s.Status) + "}\n";
  std::ostringstream out;
  out << JsonHead(game, s.Status) << ", " << JsonNumber("code", s.Code)
      << ", \"name\": " << JsonQuote(WireNameToUtf8(s.Name))
      << ", \"date\": " << JsonQuote(Date(s.Year, s.Month, s.Day)) << ", \"tickets\": " << s.Tickets
      << ", " << JsonNumber("main_combinations", s.MainCombinations) << ", "
      << JsonNumber("side_combinations", s.SideCombinations) << ", "
      << JsonNumber("all_combinations", s.AllCombinations) << ", "
      << JsonNumber("main_cost_cents", s.MainCost) << ", "
      << JsonNumber("side_cost_cents", s.SideCost) << ", "
      << JsonNumber("total_cost_cents", s.TotalCost)
      << ", \"marker\": " << static_cast<int>(s.Marker) << ", "
      << JsonNumber("total_cost_again_cents", s.TotalCostAgain) << "}\n";
  return out.str();
}

std::string TicketTable(const TicketReply& t, Game game) {
  std::ostringstream out;
  const std::size_t cell = game == Game::Totocalcio ? 3 : 4;
  out << GameName(game) << " system " << FormatNumber(t.Code) << ", ticket " << t.Ticket << ": "
      << CountOf(t.Columns.size(), "column", "columns") << "\n";
  out << "  col  side";
  for (int m = 1; m <= 14; ++m) out << " " << PadLeft(std::to_string(m), cell);
  out << "\n";
  for (std::size_t j = 0; j < t.Columns.size(); ++j) {
    out << PadLeft(std::to_string(j + 1), 5) << "  " << (t.Columns[j].SideFlag ? " yes" : "  no");
    for (int m = 0; m < 14; ++m) out << " " << PadLeft(SignsOfMatch(t.Columns[j], m), cell);
    out << "\n";
  }
  return out.str();
}

std::string TicketJson(const TicketReply& t, Game game) {
  std::ostringstream out;
  out << JsonHead(game, t.Status);
  // A found system echoes the ticket number; a missing one leaves code and number 0.
  if (t.Ticket != 0) out << ", " << JsonNumber("code", t.Code) << ", \"ticket\": " << t.Ticket;
  if (t.Status != StatusOk) return out.str() + "}\n";
  out << ", \"columns\": [";
  for (std::size_t j = 0; j < t.Columns.size(); ++j) {
    out << (j ? ", " : "") << "{\"side\": " << (t.Columns[j].SideFlag ? "true" : "false")
        << ", \"signs\": [";
    for (int m = 0; m < 14; ++m) {
      out << (m ? ", " : "") << JsonQuote(SignsOfMatch(t.Columns[j], m));
    }
    out << "]}";
  }
  out << "]}\n";
  return out.str();
}

std::string DeleteText(std::uint16_t status, Game game, std::int32_t code) {
  if (status == StatusOk) {
    return std::string(GameName(game)) + " system " + std::to_string(code) + " deleted\n";
  }
  return std::string("no ") + GameName(game) + " system with code " + std::to_string(code) + "\n";
}

std::string DeleteJson(std::uint16_t status, Game game, std::int32_t code) {
  return "{\"game\": " + JsonQuote(GameName(game)) + ", \"status\": " + std::to_string(status) +
         ", \"code\": " + std::to_string(code) +
         ", \"deleted\": " + (status == StatusOk ? "true" : "false") + "}\n";
}

}  // namespace varo::client
