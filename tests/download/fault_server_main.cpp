// The fault server as a process of its own, for tests that cannot host it (the Windows
// build under Wine): prints its port, serves until its input closes.
#include <cstdio>
#include <iostream>
#include <string>

#include "support/fault_server.h"

int main() {
  zeva::test::FaultServer server;
  std::printf("%u\n", static_cast<unsigned>(server.Port()));
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  return 0;
}
