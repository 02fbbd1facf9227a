// The top level of an MCCS capability string: (prot(monitor)type(LCD)vcp(...)...).
#pragma once

#include <cstdint>

#include "moncontrol/tables/TextMap.h"

// Tag -> text of a string enclosed in parentheses whose closing one stands just before the
// terminating NUL (length counts it). Characters between a tag's closing parenthesis and the
// next tag, spaces included, belong to that next tag. Empty when the string is not so
// enclosed or shorter than two bytes.
TextMap ParseCapabilityString(const char* caps, std::uint32_t length);
