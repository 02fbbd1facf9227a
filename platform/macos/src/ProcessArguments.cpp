#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/macos/api/CrtExterns.h"

namespace {

// The arguments as the kernel recorded them at exec, NUL-separated.
struct Arguments {
  Arguments() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string all{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    for (std::size_t at = 0; at < all.size();) {
      const std::size_t end = all.find('\0', at);
      texts.push_back(all.substr(at, end == std::string::npos ? std::string::npos : end - at));
      at = end == std::string::npos ? all.size() : end + 1;
    }
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    argv = pointers.data();
    argc = static_cast<int>(texts.size());
  }

  std::vector<std::string> texts;
  std::vector<char*> pointers;
  char** argv;
  int argc;
};

// Made once and never freed, as the runtime's own argv outlives every caller.
Arguments& ProcessArguments() {
  static Arguments* arguments = new Arguments;
  return *arguments;
}

}  // namespace

char*** _NSGetArgv() { return &ProcessArguments().argv; }

int* _NSGetArgc() { return &ProcessArguments().argc; }
