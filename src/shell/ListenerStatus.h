// Whether the endpoint listens, and why not, as the window's status line and standard error tell
// it. Free of any toolkit, so every desktop program says the same.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveFolders.h"
#include "platform/DatagramSocket.h"

namespace varo {

struct ListenerStatus {
  std::int32_t InputPort = 0;
  std::int32_t OutputPort = 0;
  std::optional<BindFailure> Failure;  // nothing while listening
  std::string FailureText;             // the error's own words, for BindFailure::Other
  std::uint64_t Refused = 0;           // requests refused by the access rule since the start
  std::string AccessProblem;           // the [Accesso] Reti entry that could not be read
  std::vector<std::string> Notes;      // what else keeps requests from being served, in Italian

  bool Listening() const { return !Failure.has_value(); }
};

// The status of an endpoint that listens.
ListenerStatus ListeningOn(std::int32_t inputPort, std::int32_t outputPort);

// The status of an endpoint whose activation failed with error.
ListenerStatus NotListening(std::int32_t inputPort, std::int32_t outputPort,
                            const std::exception& error);

// The window's status line, in the window's language.
std::string StatusLine(const ListenerStatus& status);

// The same for standard error: one line naming the ports and, when not listening, the cause.
std::string StatusReport(const ListenerStatus& status);

// The lines standard error gets at start: the version, the ports, who may ask, both game folders,
// and "missing" before the path of a folder that does not exist.
std::vector<std::string> StartReport(const std::string& version, const ListenerStatus& status,
                                     const std::string& whoMayAsk, const ArchiveFolders& folders);

// The line standard error gets about an [Accesso] Reti entry that could not be read.
std::string AccessProblemReport(const std::string& entry);

}  // namespace varo
