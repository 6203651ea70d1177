// Pieces shared by the tests that start programs as child processes.
#pragma once

#include <sys/types.h>

#include <initializer_list>
#include <map>
#include <string>

namespace varo::test {

// The environment of the test process with these names removed.
std::map<std::string, std::string> EnvironmentWithout(std::initializer_list<const char*> names);

// Waits at most the given seconds for the child to end; true, with its wait status, if it did.
bool ReapWithin(pid_t child, int& status, double seconds);

}  // namespace varo::test
