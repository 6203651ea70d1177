#include "ClientRun.h"

#include <algorithm>
#include <random>
#include <sstream>

#include "ClientOutput.h"
#include "ClientReplies.h"
#include "ReplySocket.h"
#include "protocol/Commands.h"

namespace varo::client {

namespace {

// The list reply holds at most this many entries; longer ranges are asked for page by page.
constexpr std::uint32_t ListPage = 62;

// Nothing answered: the run ends with ExitNoAnswer.
struct NoAnswer {};

class Session {
 public:
  explicit Session(const ClientOptions& options)
      : options_(options),
        socket_(options.Host, options.Port, options.ReplyPort),
        random_(std::random_device{}()) {}

  RequestTag NewTag() {
    RequestTag tag;
    for (auto& b : tag) b = static_cast<std::uint8_t>(random_() & 0xFF);
    return tag;
  }

  Datagram Exchange(const Datagram& request) {
    const auto timeout =
        std::chrono::milliseconds(static_cast<long long>(options_.TimeoutSeconds * 1000.0 + 0.5));
    auto reply = socket_.Exchange(
        request, [&](const Datagram& d) { return AnswersRequest(request, d); },
        std::max(timeout, std::chrono::milliseconds(1)));
    if (!reply) throw NoAnswer{};
    return *reply;
  }

 private:
  const ClientOptions& options_;
  ReplySocket socket_;
  std::mt19937 random_;
};

// Whether an empty list means that the game has no system at all. The folder count is modulo 256,
// so only an empty position 1 settles it; it is asked for when the list did not cover it.
bool NothingStored(Session& session, const ClientOptions& o, std::uint32_t first,
                   const ListReply& list) {
  if (!list.Entries.empty() || list.FolderCountMod256 != 0) return false;
  if (first == 1 && o.Last >= 1) return true;
  return ParseListReply(session.Exchange(BuildListRequest(o.Which, 1, 1, session.NewTag())), 1)
      .Entries.empty();
}

int List(Session& session, const ClientOptions& o, std::ostream& out, std::ostream& err) {
  const std::uint32_t first = std::max<std::uint32_t>(o.First, 1);
  ListReply all;
  std::uint32_t a = first;
  for (;;) {
    const std::uint32_t b = o.Last < a ? o.Last : std::min(o.Last, a + ListPage - 1);
    const ListReply page =
        ParseListReply(session.Exchange(BuildListRequest(o.Which, a, b, session.NewTag())), a);
    all.GameByte = page.GameByte;
    all.FolderCountMod256 = page.FolderCountMod256;
    all.Entries.insert(all.Entries.end(), page.Entries.begin(), page.Entries.end());
    if (page.Entries.size() < ListPage || b >= o.Last) break;
    a = b + 1;
  }
  all.Status = all.Entries.empty() ? StatusNotFound : StatusOk;
  const bool nothingStored = NothingStored(session, o, first, all);
  if (o.Json) out << ListJson(all, o.Which);
  if (nothingStored) {
    if (!o.Json) out << NothingStoredText(o.Which);
    return ExitDone;
  }
  if (all.Entries.empty()) {
    err << NoSystemsText(o.Which, first, o.Last, all.FolderCountMod256);
    return ExitNotFound;
  }
  if (!o.Json) out << ListTable(all, o.Which);
  return ExitDone;
}

int Info(Session& session, const ClientOptions& o, std::ostream& out, std::ostream& err) {
  const SummaryReply s = ParseSummaryReply(
      session.Exchange(BuildInfoRequest(o.Which, o.Code, session.NewTag())), o.Code);
  if (o.Json) out << SummaryJson(s, o.Which);
  if (s.Status == StatusNotFound) {
    err << "no " << GameName(o.Which) << " system with code " << o.Code << "\n";
    return ExitNotFound;
  }
  if (!o.Json) out << SummaryTable(s, o.Which);
  return ExitDone;
}

int Ticket(Session& session, const ClientOptions& o, std::ostream& out, std::ostream& err) {
  const TicketReply t = ParseTicketReply(
      session.Exchange(BuildTicketRequest(o.Which, o.Code, o.Ticket, session.NewTag())), o.Which,
      o.Code);
  if (o.Json) out << TicketJson(t, o.Which);
  if (t.Status == StatusNotFound) {
    // A found system echoes the ticket number; a missing one leaves code and number 0.
    if (o.Ticket == 0) {
      err << "there is no ticket 0: tickets are numbered from 1\n";
    } else if (t.Ticket == 0) {
      err << "no " << GameName(o.Which) << " system with code " << o.Code << "\n";
    } else {
      err << GameName(o.Which) << " system " << o.Code << " has no ticket " << o.Ticket << "\n";
    }
    return ExitNotFound;
  }
  if (!o.Json) out << TicketTable(t, o.Which);
  return ExitDone;
}

int Delete(Session& session, const ClientOptions& o, std::ostream& out, std::ostream& err) {
  const std::uint16_t status =
      ParseDeleteReply(session.Exchange(BuildDeleteRequest(o.Which, o.Code, session.NewTag())));
  if (o.Json) {
    out << DeleteJson(status, o.Which, o.Code);
  } else if (status == StatusOk) {
    out << DeleteText(status, o.Which, o.Code);
  }
  if (status == StatusNotFound) {
    err << DeleteText(status, o.Which, o.Code);
    return ExitNotFound;
  }
  return ExitDone;
}

}  // namespace

int RunClient(const ClientOptions& o, std::ostream& out, std::ostream& err) {
  if (o.What == Action::Help) {
    out << UsageText();
    return ExitDone;
  }
  if (o.What == Action::Version) {
    out << VersionText();
    return ExitDone;
  }
  try {
    // Refuse what no request can carry before anything goes out.
    const RequestTag probe{};
    switch (o.What) {
      case Action::List:
        BuildListRequest(o.Which, std::max<std::uint32_t>(o.First, 1), o.Last, probe);
        break;
      case Action::Info:
        BuildInfoRequest(o.Which, o.Code, probe);
        break;
      case Action::Ticket:
        BuildTicketRequest(o.Which, o.Code, o.Ticket, probe);
        break;
      case Action::Delete:
        BuildDeleteRequest(o.Which, o.Code, probe);
        break;
      case Action::Help:
      case Action::Version:
        break;
    }
  } catch (const RequestRefused& e) {
    err << "quillmarch-varo-client: " << e.what() << "\n";
    return ExitUsage;
  }
  try {
    Session session(o);
    switch (o.What) {
      case Action::List:
        return List(session, o, out, err);
      case Action::Info:
        return Info(session, o, out, err);
      case Action::Ticket:
        return Ticket(session, o, out, err);
      case Action::Delete:
        return Delete(session, o, out, err);
      case Action::Help:
      case Action::Version:
        break;
    }
  } catch (const NoAnswer&) {
    err << "quillmarch-varo-client: no answer from " << o.Host << ":" << o.Port << " within "
        << o.TimeoutSeconds << " s (is the server running, does it answer to port " << o.ReplyPort
        << ", does its [Accesso] Reti setting admit this host, and could it read the system?)\n";
    return ExitNoAnswer;
  } catch (const PortClosed&) {
    err << "quillmarch-varo-client: " << o.Host << " answered that nothing listens on its UDP port "
        << o.Port << " (is the server running there, and is " << o.Port << " its input port?)\n";
    return ExitPortClosed;
  } catch (const SocketFailure& e) {
    err << "quillmarch-varo-client: " << e.what() << "\n";
    return ExitFailure;
  } catch (const MalformedReply& e) {
    err << "quillmarch-varo-client: unreadable reply: " << e.what() << "\n";
    return ExitFailure;
  }
  return ExitDone;
}

}  // namespace varo::client
