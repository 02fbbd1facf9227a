// Where the model-flag table lives: the "JSON" resource 101 of the module SetGlobalHandle
// stored, or of this image while none is.
#pragma once

#include <string>

inline constexpr int kModelFlagTableId = 101;

// The bytes of that module's "JSON" resource with this id; empty (and logged) when it has none.
std::string LoadJsonResource(int id);
