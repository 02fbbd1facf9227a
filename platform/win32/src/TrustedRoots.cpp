#include "platform/win32/internal/TrustedRoots.h"

#include <cstdlib>

namespace win32 {

X509_STORE* NewTrustedRootStore() {
  X509_STORE* store = X509_STORE_new();
  if (store == nullptr) return nullptr;
  const char* file = std::getenv("TARVIK_WIN32_TRUSTED_CA");
  const bool loaded = (file != nullptr && *file != '\0') ? X509_STORE_load_file(store, file) == 1
                                                         : X509_STORE_set_default_paths(store) == 1;
  if (!loaded) {
    X509_STORE_free(store);
    return nullptr;
  }
  return store;
}

}  // namespace win32
