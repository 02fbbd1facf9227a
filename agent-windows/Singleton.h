// The base of the agent's process-wide objects: one instance of T, made on first use and
// never destroyed.
#pragma once

#include <atomic>

#include "foundation/sync/CCriticalSectionEx.h"

template <typename T>
class Singleton {
 public:
  virtual ~Singleton() = default;

  static T* GetInstance() {
    // Acquire pairs with the release below, so a thread that finds the pointer set also sees
    // the constructed object.
    T* instance = s_instance.load(std::memory_order_acquire);
    if (instance != nullptr) return instance;
    s_lock.Lock();
    instance = s_instance.load(std::memory_order_relaxed);
    if (instance == nullptr) {
      try {
        instance = new T();
      } catch (...) {
        s_lock.Unlock();
        throw;
      }
      s_instance.store(instance, std::memory_order_release);
    }
    s_lock.Unlock();
    return instance;
  }

 protected:
  Singleton() = default;

 private:
  static inline std::atomic<T*> s_instance{nullptr};
  static inline CCriticalSectionEx s_lock;
};
