// The real program started where it may not create a single thread more: it says why and ends,
// instead of hanging with nothing served. Runs alone: the limit counts every process of the user.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "ProgramFiles.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "posix/ChildProcess.h"
#include "posix/OtherUser.h"

namespace varo::test {
namespace {

TEST(ShellThreadLimit, AListenerThatCannotStartEndsTheProgramWithCodeOne) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to start the program as another user";
  TempDir dir;
  const Environment env = ProgramEnvironment(dir.Path());
  MakeEmptyArchive(dir.Path() / "home");
  WritePorts(dir.Path() / "config", FreeUdpPort(), FreeUdpPort());
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path())) {
    ASSERT_EQ(::chown(entry.path().c_str(), Nobody, Nobody), 0);
  }
  ASSERT_EQ(::chown(dir.Path().c_str(), Nobody, Nobody), 0);

  ChildProcess program({"/usr/bin/prlimit", "--nproc=1:1", "/usr/bin/setpriv", "--reuid=65534",
                        "--regid=65534", "--clear-groups", VARO_SERVER_PROGRAM},
                       env, dir.Path(), "limited");
  EXPECT_EQ(program.WaitExit(10.0), 1) << program.StandardError();
  EXPECT_NE(program.StandardError().find("cannot start the request listener"), std::string::npos)
      << program.StandardError();
  EXPECT_EQ(program.StandardOutput(), "");
}

}  // namespace
}  // namespace varo::test
