// payload-decode: shows what the helper makes of captured payloads. Reads one payload per
// line in hexadecimal from standard input and prints one answer line for each.
#include <iostream>
#include <string>

#include "payload_line.h"

int main() {
  std::ios::sync_with_stdio(false);
  std::string line;
  while (std::getline(std::cin, line)) {
    std::cout << tarnu::tools::answer_line(line) << '\n';
  }
  std::cout.flush();
  return std::cout ? 0 : 1;
}
