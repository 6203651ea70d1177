#include "ClientOptions.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

#ifndef VARO_CLIENT_VERSION
#error "VARO_CLIENT_VERSION is set by the build to the project's version"
#endif

namespace varo::client {

namespace {

// Decimal digits with an optional leading minus where allowed; nothing else, no blanks.
bool ParseDecimal(const std::string& text, bool allowMinus, long long& value) {
  std::size_t i = 0;
  bool negative = false;
  if (allowMinus && !text.empty() && text[0] == '-') negative = true, i = 1;
  if (i == text.size() || text.size() - i > 12) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    v = v * 10 + (text[i] - '0');
  }
  value = negative ? -v : v;
  return true;
}

std::uint16_t Port(const std::string& option, const std::string& text) {
  long long v = 0;
  if (!ParseDecimal(text, false, v) || v < 1 || v > 65535) {
    throw UsageError(option + " needs a port from 1 to 65535, not \"" + text + "\"");
  }
  return static_cast<std::uint16_t>(v);
}

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c));
  });
}

// Plain decimal seconds, digits with an optional fraction, from 0.001 to 3600. The bounds are
// checked on the digits, so that no rounding lets 3600.0000000000000001 or 0.00099999 through.
double Timeout(const std::string& text) {
  const std::size_t dot = text.find('.');
  const std::string whole = text.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  bool ok = AllDigits(whole) && (dot == std::string::npos || AllDigits(fraction));
  if (ok) {
    const std::string seconds = whole.substr(std::min(whole.find_first_not_of('0'), whole.size()));
    const bool wholeSeconds = fraction.find_first_not_of('0') == std::string::npos;
    const bool belowMillisecond = seconds.empty() && (fraction + "000").find_first_not_of('0') >= 3;
    ok = !belowMillisecond && (seconds.size() < 4 || (seconds.size() == 4 && seconds < "3600") ||
                               (seconds == "3600" && wholeSeconds));
  }
  if (!ok) {
    throw UsageError("--timeout needs plain decimal seconds from 0.001 to 3600, not \"" + text +
                     "\"");
  }
  return std::strtod(text.c_str(), nullptr);
}

Game GameOf(const std::string& text) {
  std::string lower;
  for (const char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "totocalcio") return Game::Totocalcio;
  if (lower == "totogol") return Game::Totogol;
  throw UsageError("the game is totocalcio or totogol, not \"" + text + "\"");
}

std::int32_t Code(const std::string& text) {
  long long v = 0;
  if (!ParseDecimal(text, true, v) || v < INT32_MIN || v > INT32_MAX) {
    throw UsageError("a system code is a decimal number from -2147483648 to 2147483647, not \"" +
                     text + "\"");
  }
  return static_cast<std::int32_t>(v);
}

std::uint32_t Count(const std::string& what, const std::string& text) {
  long long v = 0;
  if (!ParseDecimal(text, false, v) || v > UINT32_MAX) {
    throw UsageError(what + " is a decimal number from 0 up, not \"" + text + "\"");
  }
  return static_cast<std::uint32_t>(v);
}

}  // namespace

ClientOptions ParseClientOptions(const std::vector<std::string>& args) {
  ClientOptions o;
  std::vector<std::string> words;
  // --help or --version, whichever comes first, is done instead of any request, wherever it stands.
  std::optional<Action> early;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    // After "--" every argument is a word, so that any text can follow.
    if (optionsEnded) {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string value;
    const std::string name = arg.substr(0, arg.find('='));
    const bool takesValue =
        name == "--host" || name == "--port" || name == "--reply-port" || name == "--timeout";
    if (takesValue) {
      if (name != arg) {
        value = arg.substr(name.size() + 1);
        arg = name;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        throw UsageError(arg + " needs a value");
      }
    }
    if (arg == "--host") {
      if (value.empty()) throw UsageError("--host needs an address");
      o.Host = value;
    } else if (arg == "--port") {
      o.Port = Port(arg, value);
    } else if (arg == "--reply-port") {
      o.ReplyPort = Port(arg, value);
    } else if (arg == "--timeout") {
      o.TimeoutSeconds = Timeout(value);
    } else if (arg == "--json") {
      o.Json = true;
    } else if (arg == "--help" || arg == "-h") {
      if (!early) early = Action::Help;
    } else if (arg == "--version") {
      if (!early) early = Action::Version;
    } else if (arg.size() > 1 && arg[0] == '-' &&
               !std::isdigit(static_cast<unsigned char>(arg[1]))) {
      throw UsageError("unknown option " + arg);
    } else {
      words.push_back(arg);
    }
  }
  if (early) {
    o.What = *early;
    return o;
  }
  if (words.empty()) throw UsageError("no request given");
  const std::string& verb = words[0];
  auto need = [&](std::size_t least, std::size_t most, const char* form) {
    if (words.size() < least + 1 || words.size() > most + 1) {
      throw UsageError(std::string("usage: quillmarch-varo-client ") + form);
    }
  };
  if (verb == "list") {
    need(1, 3, "list totocalcio|totogol [FIRST [LAST]]");
    o.What = Action::List;
    o.Which = GameOf(words[1]);
    if (words.size() > 2) o.First = Count("FIRST", words[2]);
    if (words.size() > 3) o.Last = Count("LAST", words[3]);
  } else if (verb == "info") {
    need(2, 2, "info totocalcio|totogol CODE");
    o.What = Action::Info;
    o.Which = GameOf(words[1]);
    o.Code = Code(words[2]);
  } else if (verb == "ticket") {
    need(3, 3, "ticket totocalcio|totogol CODE N");
    o.What = Action::Ticket;
    o.Which = GameOf(words[1]);
    o.Code = Code(words[2]);
    o.Ticket = Count("N", words[3]);
  } else if (verb == "delete") {
    need(2, 2, "delete totocalcio|totogol CODE");
    o.What = Action::Delete;
    o.Which = GameOf(words[1]);
    o.Code = Code(words[2]);
  } else {
    throw UsageError("unknown request \"" + verb + "\" (list, info, ticket or delete)");
  }
  return o;
}

std::string UsageText() {
  // One screen of at most 80 columns; the manual page, quillmarch-varo-client(1), says the rest.
  return R"text(usage: quillmarch-varo-client [OPTIONS] [--] REQUEST
Asks a Quillmarch Varo Server for its stored Totocalcio and Totogol systems.

Requests (GAME is totocalcio or totogol; CODE ends the system's file name):
  list GAME [FIRST [LAST]]  systems at positions FIRST to LAST (default: all)
  info GAME CODE            every field of the summary of one system
  ticket GAME CODE N        the columns of ticket N (from 1) of one system
  delete GAME CODE          deletes one stored system
Options:
  --host ADDRESS      the server's IPv4 address or name (default 127.0.0.1)
  --port N            the server's input port (default 7770)
  --reply-port N      where answers come: the server's output port (7000)
  --timeout SECONDS   wait for each answer, 0.001 to 3600 (default 2)
  --json              print one JSON object instead of a table
  -h, --help          this text
  --version           the program's name and version
Costs are in euro cents (50 a combination). Numbers that read two ways, JSON
and the exit codes in full: see the manual page, quillmarch-varo-client(1).
Exit codes: 0 done; 1 not found (no such system or ticket, or nothing at those
  positions in a game that has systems); 2 no answer within the timeout;
  3 unknown host, socket or reply port failed, or an unreadable reply;
  4 nothing listens on the server's port; 64 bad usage
)text";
}

std::string VersionText() {
  return std::string("quillmarch-varo-client ") + VARO_CLIENT_VERSION + "\n";
}

}  // namespace varo::client
