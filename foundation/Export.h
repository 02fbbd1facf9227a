// Marks a function that the agent exports by name, undecorated.
#pragma once

#ifdef _WIN32
#define TARVIK_EXPORT extern "C" __declspec(dllexport)
#else
#define TARVIK_EXPORT extern "C" __attribute__((visibility("default")))
#endif
