// What the shell's tests share: a request no handler serves, its expected reply, settings files.
#pragma once

#include <filesystem>
#include <string>

#include "UdpPeer.h"

namespace varo::test {

// A request of the unknown pair (999, 9) carrying five payload bytes.
Bytes UnknownPairRequest();

// Its reply: the same 23 header bytes, then five zero bytes.
Bytes UnknownPairReply();

// A list request of the Totocalcio systems, positions 1 to 5.
Bytes TotocalcioListRequest();

// Its reply for an empty Totocalcio folder: status 870, the game byte, a count of 0.
Bytes EmptyTotocalcioListReply();

// Makes the archive's game folders below the Documents folder of home.
void MakeEmptyArchive(const std::filesystem::path& home);

// The settings file below configHome, as the program finds it.
std::filesystem::path SettingsFileBelow(const std::filesystem::path& configHome);

// Writes a settings file with both ports below configHome and returns its path.
std::filesystem::path WritePorts(const std::filesystem::path& configHome, int inPort, int outPort);

// The whole content of a file ("" when missing).
std::string FileBytes(const std::filesystem::path& path);

}  // namespace varo::test
