#include "Handlers.h"

#include <utility>

#include "handlers/ListAndDelete.h"
#include "handlers/SystemInformation.h"
#include "handlers/TicketRequests.h"

namespace varo {

HandlerTable MakeHandlerTable(const ArchiveFolders& folders, ActivityLog& log, Deletion deletion) {
  auto archive = std::make_shared<SystemArchive>(folders);
  archive->SetDeletion(deletion);
  return MakeHandlerTable(std::move(archive), log);
}

HandlerTable MakeHandlerTable(std::shared_ptr<SystemArchive> archive, ActivityLog& log) {
  using Handler = void (*)(RequestState&, SystemArchive&, ActivityLog&);
  const auto bind = [&archive, &log](Handler handler) -> RequestHandler {
    return [archive, &log, handler](RequestState& state) { handler(state, *archive, log); };
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
