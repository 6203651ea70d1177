#include "SystemInformation.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "archive/Archive.h"
#include "handlers/LogLine.h"
#include "protocol/Codecs.h"
#include "protocol/Commands.h"
#include "records/Printable.h"

namespace varo {

namespace {

// The two games differ only in their folder, summary routine and wire conversion.
struct InformationGame {
  std::uint8_t GameKind;
  void (*GetInfo)(const std::string&, SystemSummary&, SummaryCache&);
  void (*ToWire)(SystemSummary&);
};

void AnswerInformation(RequestState& state, SystemArchive& archive, ActivityLog& log,
                       const InformationGame& game) {
  const auto code = static_cast<std::int32_t>(LongAt(state.RequestPayload, 0));
  const std::string path = archive.Code2Filename(code, game.GameKind);
  SystemSummary summary;
  std::memset(&summary, 0, sizeof summary);
  AppendStamped(log, "Richiesta informazioni " + Printable(FileNameOf(path)));

  if (!path.empty()) {
    game.GetInfo(path, summary, archive.Summaries());
    AppendStamped(log, "Informazioni inviate");
  } else {
    summary.Status = StatusNotFound;
  }

  state.Reply = state.Request;
  state.Reply.ExtraLength = 0;
  state.Reply.DataLength = SystemSummarySize;
  game.ToWire(summary);
  std::memcpy(state.ReplyPayload.data(), &summary, SystemSummarySize);
}

}  // namespace

void RichiestaInfoTotocalcio(RequestState& state, SystemArchive& archive, ActivityLog& log) {
  AnswerInformation(state, archive, log, {GameTotocalcio, GetInfoTotocalcio, swapinfototocalcio});
}

void RichiestaInfoTotogol(RequestState& state, SystemArchive& archive, ActivityLog& log) {
  AnswerInformation(state, archive, log, {GameTotogol, GetInfoTotogol, swapinfototogol});
}

}  // namespace varo
