#include "posix/PrivateNetwork.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace varo::test {

bool EnterPrivateNetwork() {
  if (::unshare(CLONE_NEWNET) != 0) {
    std::fprintf(stderr, "no private network (%s): tests share the machine's\n",
                 std::strerror(errno));
    return false;
  }
  // A new namespace has its loopback down.
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                  (request.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &request) == 0);
  if (!up)
    std::fprintf(stderr, "the private network's loopback stays down: %s\n", std::strerror(errno));
  if (fd >= 0) ::close(fd);
  return up;
}

const bool PrivateNetworkEntered = EnterPrivateNetwork();

}  // namespace varo::test
