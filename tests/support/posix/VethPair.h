// A pair of virtual interfaces in the test's private network, for tests of what follows this
// computer's addresses. Made with the system's `ip` (iproute2): a veth pair can be made where a
// dummy interface cannot.
#pragma once

#include <string>

namespace varo::test {

// Runs `ip` with the arguments, through the shell (so they may end in a here-document); true when
// it succeeds. Its complaints go to standard error.
bool RunIp(const std::string& arguments);

// The interfaces name and peer, joined to each other and up; both removed with this object.
class VethPair {
 public:
  VethPair(std::string name, const std::string& peer);
  ~VethPair();
  VethPair(const VethPair&) = delete;
  VethPair& operator=(const VethPair&) = delete;

  // Empty when the pair is up; else why it is not, for the test to skip with.
  const std::string& Problem() const { return problem_; }

 private:
  std::string name_;
  bool made_ = false;
  std::string problem_;
};

}  // namespace varo::test
