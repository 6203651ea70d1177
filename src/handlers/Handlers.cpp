#include "Handlers.h"

#include "handlers/ListAndDelete.h"
#include "handlers/SystemInformation.h"
#include "handlers/TicketRequests.h"

namespace varo {

HandlerTable MakeHandlerTable(const ArchiveFolders& folders, ActivityLog& log) {
  return MakeHandlerTable(folders, log, std::make_shared<SummaryCache>());
}

HandlerTable MakeHandlerTable(const ArchiveFolders& folders, ActivityLog& log,
                              std::shared_ptr<SummaryCache> kept) {
  using Handler = void (*)(RequestState&, const ArchiveFolders&, ActivityLog&);
  using SummaryHandler =
      void (*)(RequestState&, const ArchiveFolders&, ActivityLog&, SummaryCache&);
  const auto bind = [&folders, &log](Handler handler) -> RequestHandler {
    return [&folders, &log, handler](RequestState& state) { handler(state, folders, log); };
  };
  const auto bindKept = [&folders, &log, &kept](SummaryHandler handler) -> RequestHandler {
    return [&folders, &log, kept, handler](RequestState& state) {
      handler(state, folders, log, *kept);
    };
  };
  return HandlerTable{
      .RichiestaLista = bindKept(RichiestaLista),
      .RichiestaCancellazione = bind(RichiestaCancellazione),
      .RichiestaInfoTotocalcio = bindKept(RichiestaInfoTotocalcio),
      .RichiestaBigliettoTotocalcio = bind(RichiestaBigliettoTotocalcio),
      .RichiestaInfoTotogol = bindKept(RichiestaInfoTotogol),
      .RichiestaBigliettoTotogol = bind(RichiestaBigliettoTotogol),
  };
}

}  // namespace varo
