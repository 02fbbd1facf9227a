// For tests: a kernel-objects root of the test's own (TARVIK_KERNEL_OBJECTS), so that its
// windows are the only top-level windows of its machine. Programs the test starts inherit it.
#pragma once

#include <string>

namespace sysevents {

class ObjectsRoot {
 public:
  ObjectsRoot();
  // Removes the folder and unsets the variable.
  ~ObjectsRoot();
  ObjectsRoot(const ObjectsRoot&) = delete;
  ObjectsRoot& operator=(const ObjectsRoot&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

}  // namespace sysevents
