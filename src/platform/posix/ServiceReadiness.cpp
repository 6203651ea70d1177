#include "platform/ServiceReadiness.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace varo {

namespace {

constexpr char ReadyMessage[] = "READY=1";

// The error of the send, or 0 once the service manager's socket has the message. The datagram is
// sent without waiting: a receiver whose queue is full would otherwise hold start-up for ever.
int SendWithoutWaiting(const std::string& where) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // "@name" is a name in the abstract namespace, which starts with a zero byte and has no end mark;
  // a path carries its terminating zero.
  const bool abstract = where[0] == '@';
  const std::size_t length = abstract ? where.size() : where.size() + 1;
  if (length > sizeof address.sun_path) return ENAMETOOLONG;
  std::memcpy(address.sun_path, where.data(), where.size());
  if (abstract) address.sun_path[0] = '\0';
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
  const ssize_t sent =
      sendto(fd, ReadyMessage, sizeof ReadyMessage - 1, MSG_DONTWAIT | MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&address), size);
  const int error = sent < 0 ? errno : 0;
  close(fd);
  return error;
}

}  // namespace

std::optional<ReadinessFailure> NotifyServiceReady() {
  const char* socketName = std::getenv("NOTIFY_SOCKET");
  if (socketName == nullptr || socketName[0] == '\0') return std::nullopt;
  const std::string where = socketName;
  int error = EAFNOSUPPORT;  // an address of a kind other than a local socket's
  if (where[0] == '/' || where[0] == '@') error = SendWithoutWaiting(where);
  if (error == 0) return std::nullopt;
  return ReadinessFailure{where, std::error_code(error, std::generic_category())};
}

}  // namespace varo
