#include "testkit/packages/WorkFolder.h"

#include <fstream>
#include <iterator>

namespace testkit::packages {

std::string WorkFolder::Read(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace testkit::packages
