// A network of the test process's own: its own loopback, ports and abstract socket names. The
// server's single-instance guard is one abstract name per user, and every test runs as root, so
// the instances that tests running side by side start would otherwise find each other.
#pragma once

namespace varo::test {

// Moves this process, and the children it starts afterwards, into a new network namespace with
// its loopback up. Call it before any socket is opened (at static initialisation, through
// PrivateNetworkEntered). Returns false, having said why on standard error, when it cannot.
bool EnterPrivateNetwork();

// Set at static initialisation in each test program that links this file's object.
extern const bool PrivateNetworkEntered;

}  // namespace varo::test
