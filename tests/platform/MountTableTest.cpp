#include "platform/posix/MountTable.h"

#include <gtest/gtest.h>

namespace varo {
namespace {

// Root, a second disk, a bind mount of part of the root volume, a USB stick whose name holds a
// space, a second disk mounted again over the first, and a line that is no mount.
constexpr const char* MountInfo =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "40 22 8:17 / /data rw,relatime shared:2 - ext4 /dev/sdb1 rw\n"
    "41 22 8:1 /srv/docs /home/anna/Documents rw - ext4 /dev/sda1 rw\n"
    "42 22 0:50 / /media/anna/Chiave\\040USB rw - vfat /dev/sdc1 rw\n"
    "43 40 0:51 / /data rw - tmpfs none rw\n"
    "garbage\n";

TEST(MountTable, TheTopOfAFilesMountIsItsOwnMountsPointNotItsDevices) {
  const struct {
    std::uint64_t Id;
    std::optional<std::string> Point;
  } byId[] = {
      {41, "/home/anna/Documents"},
      {42, "/media/anna/Chiave USB"},
      {43, "/data"},
      {99, std::nullopt},
  };
  for (const auto& entry : byId) EXPECT_EQ(MountPointOfId(MountInfo, entry.Id), entry.Point);

  const struct {
    const char* Path;
    std::optional<std::string> Point;
  } byPath[] = {
      {"/home/anna/Documents/Totocalcio", "/home/anna/Documents"},
      {"/home/anna/Documents", "/home/anna/Documents"},
      {"/home/anna/Documenti/Totocalcio", "/"},  // a longer name is not below the mount point
      {"/media/anna/Chiave USB/Totogol", "/media/anna/Chiave USB"},
      {"/data/users/alice", "/data"},
  };
  for (const auto& entry : byPath) {
    EXPECT_EQ(MountPointHolding(MountInfo, entry.Path), entry.Point) << entry.Path;
  }
  EXPECT_EQ(MountPointHolding("", "/home"), std::nullopt);
}

}  // namespace
}  // namespace varo
