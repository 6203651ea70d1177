#include "Handlers.h"

#include "handlers/ListAndDelete.h"
#include "handlers/SystemInformation.h"
#include "handlers/TicketRequests.h"

namespace varo {

HandlerTable MakeHandlerTable(const ArchiveFolders& folders, ActivityLog& log) {
  using Handler = void (*)(RequestState&, const ArchiveFolders&, ActivityLog&);
  const auto bind = [&folders, &log](Handler handler) -> RequestHandler {
    return [&folders, &log, handler](RequestState& state) { handler(state, folders, log); };
  };
  return HandlerTable{
      .RichiestaLista = bind(RichiestaLista),
      .RichiestaCancellazione = bind(RichiestaCancellazione),
      .RichiestaInfoTotocalcio = bind(RichiestaInfoTotocalcio),
      .RichiestaBigliettoTotocalcio = bind(RichiestaBigliettoTotocalcio),
      .RichiestaInfoTotogol = bind(RichiestaInfoTotogol),
      .RichiestaBigliettoTotogol = bind(RichiestaBigliettoTotogol),
  };
}

}  // namespace varo
