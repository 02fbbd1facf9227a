// Stands in for the maker's setup program: records the command line it was started with, in
// its own folder, and ends.
#include <fstream>
#include <string>

#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

int main() {
  std::string self(4096, '\0');
  ssize_t length = readlink("/proc/self/exe", self.data(), self.size());
  if (length <= 0) return 1;
  self.resize(static_cast<size_t>(length));
  std::string record = self.substr(0, self.rfind('/')) + "/pennorak-command-line.txt";
  std::ofstream(record, std::ios::app) << win32::WideToUtf8(GetCommandLineW()) << '\n';
  return 0;
}
