#include "testkit/sysevents/ObjectsRoot.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace sysevents {

ObjectsRoot::ObjectsRoot() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-objects-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
  m_path = pattern;
  setenv("TARVIK_KERNEL_OBJECTS", m_path.c_str(), 1);
}

ObjectsRoot::~ObjectsRoot() {
  unsetenv("TARVIK_KERNEL_OBJECTS");
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

}  // namespace sysevents
