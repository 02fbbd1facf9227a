// A libplist node freed with its holder.
#pragma once

#include <plist/plist.h>

#include <memory>
#include <type_traits>

namespace macstandin {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using OwnedPlist = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

}  // namespace macstandin
