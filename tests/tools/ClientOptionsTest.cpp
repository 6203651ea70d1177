#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "ClientOptions.h"
#include "ClientOutput.h"
#include "ClientText.h"

namespace varo::client {
namespace {

ClientOptions Parse(std::vector<std::string> args) {
  return ParseClientOptions(args);
}

TEST(ClientOptions, DefaultsAndEachRequest) {
  const ClientOptions list = Parse({"list", "totocalcio"});
  EXPECT_EQ(list.What, Action::List);
  EXPECT_EQ(list.Which, Game::Totocalcio);
  EXPECT_EQ(list.First, 1u);
  EXPECT_EQ(list.Last, 65280u);
  EXPECT_EQ(list.Host, "127.0.0.1");
  EXPECT_EQ(list.Port, 7770);
  EXPECT_EQ(list.ReplyPort, 7000);
  EXPECT_EQ(list.TimeoutSeconds, 2.0);
  EXPECT_FALSE(list.Json);

  const ClientOptions ranged = Parse({"list", "TotoGol", "3", "9"});
  EXPECT_EQ(ranged.Which, Game::Totogol);
  EXPECT_EQ(ranged.First, 3u);
  EXPECT_EQ(ranged.Last, 9u);

  const ClientOptions ticket =
      Parse({"--json", "ticket", "totogol", "-16777216", "2", "--port=7001", "--reply-port", "7002",
             "--timeout", "0.5", "--host", "localhost"});
  EXPECT_EQ(ticket.What, Action::Ticket);
  EXPECT_EQ(ticket.Code, -16777216);
  EXPECT_EQ(ticket.Ticket, 2u);
  EXPECT_EQ(ticket.Port, 7001);
  EXPECT_EQ(ticket.ReplyPort, 7002);
  EXPECT_EQ(ticket.TimeoutSeconds, 0.5);
  EXPECT_EQ(ticket.Host, "localhost");
  EXPECT_TRUE(ticket.Json);

  EXPECT_EQ(Parse({"--timeout", "0.001", "list", "totogol"}).TimeoutSeconds, 0.001);
  EXPECT_EQ(Parse({"--timeout=3600.000", "list", "totogol"}).TimeoutSeconds, 3600.0);
  EXPECT_EQ(Parse({"--timeout", "007.25", "list", "totogol"}).TimeoutSeconds, 7.25);

  // "--" ends the options: what follows is the request, even where it looks like an option.
  const ClientOptions ended = Parse({"--timeout", "1", "--", "info", "totocalcio", "-12"});
  EXPECT_EQ(ended.What, Action::Info);
  EXPECT_EQ(ended.Code, -12);
  EXPECT_EQ(ended.TimeoutSeconds, 1.0);
  EXPECT_THROW(Parse({"info", "totocalcio", "1", "--", "--help"}), UsageError);

  EXPECT_EQ(Parse({"delete", "totocalcio", "12"}).What, Action::Delete);
  EXPECT_EQ(Parse({"info", "totocalcio", "-2147483648"}).Code, INT32_MIN);
  EXPECT_EQ(Parse({"info", "totocalcio", "12", "--help"}).What, Action::Help);
  EXPECT_EQ(Parse({"--help"}).What, Action::Help);
}

TEST(ClientOptions, BadCommandLinesAreUsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"list"},
      {"list", "enalotto"},
      {"list", "totocalcio", "1", "2", "3"},
      {"list", "totocalcio", "-1"},
      {"info", "totocalcio"},
      {"info", "totocalcio", "12x"},
      {"info", "totocalcio", "2147483648"},
      {"info", "totocalcio", " 12"},
      {"ticket", "totocalcio", "12"},
      {"delete", "totocalcio", "12", "13"},
      {"remove", "totocalcio", "12"},
      {"--port", "0", "info", "totocalcio", "1"},
      {"--port", "65536", "info", "totocalcio", "1"},
      {"--reply-port=", "info", "totocalcio", "1"},
      {"--timeout", "0", "info", "totocalcio", "1"},
      {"--timeout", "nan", "info", "totocalcio", "1"},
      {"--timeout", "99999", "info", "totocalcio", "1"},
      {"--timeout", "0x10", "info", "totocalcio", "1"},
      {"--timeout", " 1", "info", "totocalcio", "1"},
      {"--timeout", "1 ", "info", "totocalcio", "1"},
      {"--timeout", "1e-300", "info", "totocalcio", "1"},
      {"--timeout", "1e3", "info", "totocalcio", "1"},
      {"--timeout", "+1", "info", "totocalcio", "1"},
      {"--timeout", "-1", "info", "totocalcio", "1"},
      {"--timeout", "inf", "info", "totocalcio", "1"},
      {"--timeout", ".5", "info", "totocalcio", "1"},
      {"--timeout", "5.", "info", "totocalcio", "1"},
      {"--timeout", "1,5", "info", "totocalcio", "1"},
      {"--timeout", "0.0009999", "info", "totocalcio", "1"},
      {"--timeout", "3600.0000000000000001", "info", "totocalcio", "1"},
      {"--timeout", "3601", "info", "totocalcio", "1"},
      {"--", "--json", "list", "totocalcio"},
      {"--verbose", "info", "totocalcio", "1"},
      {"info", "totocalcio", "1", "--port"},
  };
  for (const auto& args : bad) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_THROW(Parse(args), UsageError) << joined;
  }
}

TEST(ClientOptions, HelpFitsOneScreenAndNamesEveryExitCode) {
  const std::string help = UsageText();
  std::size_t lines = 0;
  for (std::size_t start = 0; start < help.size(); ++lines) {
    const std::size_t end = help.find('\n', start);
    ASSERT_NE(end, std::string::npos) << "the last line has no end";
    EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
    start = end + 1;
  }
  EXPECT_LE(lines, 24u);
  for (const char* needle : {"--host", "--port", "--reply-port", "--timeout", "--json", "0 done",
                             "1 not found", "2 no answer within the timeout", "3 unknown host",
                             "4 nothing listens", "64 bad usage", "quillmarch-varo-client(1)"}) {
    EXPECT_NE(help.find(needle), std::string::npos) << needle;
  }
}

TEST(ClientOptions, VersionEndsTheOptionsLikeHelp) {
  EXPECT_EQ(Parse({"--version"}).What, Action::Version);
  EXPECT_EQ(Parse({"--json", "list", "totocalcio", "--port", "7001", "--version"}).What,
            Action::Version);
  EXPECT_EQ(Parse({"--version", "--help"}).What, Action::Version);
  EXPECT_EQ(Parse({"--help", "--version"}).What, Action::Help);
  // After "--" it is a word like any other.
  EXPECT_THROW(Parse({"--", "--version"}), UsageError);
  EXPECT_THROW(Parse({"info", "totocalcio", "1", "--", "--version"}), UsageError);
  EXPECT_THROW(Parse({"--port", "0", "--version"}), UsageError);

  EXPECT_TRUE(
      std::regex_match(VersionText(), std::regex("quillmarch-varo-client [0-9]+(\\.[0-9]+)+\n")))
      << VersionText();
  EXPECT_NE(UsageText().find("\n  --version "), std::string::npos);
}

TEST(ClientText, NamesFromTheClientsCodePage) {
  EXPECT_EQ(WireNameForDisplay("Ruota.tcl.12"), "Ruota.tcl.12");
  EXPECT_EQ(WireNameForDisplay("\x80"), "\xE2\x82\xAC");      // euro sign
  EXPECT_EQ(WireNameForDisplay("Citt\xE0"), "Citt\xC3\xA0");  // a grave
  EXPECT_EQ(WireNameForDisplay("\x9F"), "\xC5\xB8");          // Y diaeresis
  EXPECT_EQ(WireNameForDisplay("\x81"), "\xEF\xBF\xBD");      // undefined in the page
  EXPECT_EQ(WireNameForDisplay("a\x1B[2Jb\x7F"), "a?[2Jb?");  // no terminal control
  EXPECT_EQ(WireNameToUtf8("a\x1B"), "a\x1B");
  EXPECT_EQ(JsonQuote("a\"b\\c\x1B\xC3\xA0"), "\"a\\\"b\\\\c\\u001b\xC3\xA0\"");
}

TEST(ClientOutput, NumbersShowTheirReadingOrTheirBytes) {
  ReplyNumber ambiguous;
  ambiguous.Reading = LongReading{-536, 65000, true};
  EXPECT_EQ(FormatNumber(ambiguous), "-536 (or 65000)");
  ReplyNumber settled;
  settled.Reading = LongReading{12, -65524, false};
  EXPECT_EQ(FormatNumber(settled), "12");
  // Counts and costs are shown by their unsigned bit pattern, the other reading too.
  ReplyNumber cost;
  cost.Unsigned = true;
  cost.Reading = LongReading{-939524096, std::nullopt, false};
  EXPECT_EQ(FormatNumber(cost), "3355443200");
  cost.Reading = LongReading{2147450880, -2147450880, true};
  EXPECT_EQ(FormatNumber(cost), "2147450880 (or 2147516416)");
  ReplyNumber impossible;
  impossible.Bytes = {0x00, 0x01, 0xFF, 0xFF};
  EXPECT_EQ(FormatNumber(impossible), "? (bytes 00 01 FF FF)");
}

}  // namespace
}  // namespace varo::client
