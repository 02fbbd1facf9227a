#include <cstdio>
#include <cstdlib>

#include "platform/macos/api/Dispatch.h"

namespace {

dispatch_object_t Checked(dispatch_object_t object, const char* call) {
  if (object == nullptr) {
    std::fprintf(stderr, "%s called with NULL\n", call);
    std::abort();
  }
  return object;
}

}  // namespace

void dispatch_retain(dispatch_object_t object) {
  Checked(object, "dispatch_retain")->m_references.fetch_add(1, std::memory_order_relaxed);
}

void dispatch_release(dispatch_object_t object) {
  if (Checked(object, "dispatch_release")->m_references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete object;
}
