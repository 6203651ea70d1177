#include "posix/VethPair.h"

#include <cstdlib>
#include <utility>

#include "posix/PrivateNetwork.h"

namespace varo::test {

bool RunIp(const std::string& arguments) {
  return std::system(("ip " + arguments).c_str()) == 0;
}

VethPair::VethPair(std::string name, const std::string& peer) : name_(std::move(name)) {
  // The machine's own interfaces are nobody's to change.
  if (!PrivateNetworkEntered) {
    problem_ = "no private network to add interfaces to";
    return;
  }
  made_ = RunIp("link add " + name_ + " type veth peer name " + peer);
  if (!made_) {
    problem_ = "ip cannot make a veth pair here (see standard error)";
  } else if (!RunIp("link set " + name_ + " up") || !RunIp("link set " + peer + " up")) {
    problem_ = "ip cannot bring the veth pair up (see standard error)";
  }
}

VethPair::~VethPair() {
  // Either end taken away takes the other with it.
  if (made_) RunIp("link del " + name_);
}

}  // namespace varo::test
