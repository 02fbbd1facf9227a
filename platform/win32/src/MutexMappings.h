// The shared memory of the mutexes this process has open. Every handle of one backing file
// shares one mapping: glibc links a held robust mutex into its owner thread's list through the
// mutex itself, so the memory of a mutex that a thread of this process holds must stay mapped
// (even after its last handle closes), and one address per mutex keeps that list sound.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

namespace win32 {

// The owner and its recursion are kept here rather than by a recursive pthread mutex, so that
// a release by a thread that does not own it is refused before it reaches pthread.
struct SharedMutex {
  std::uint32_t magic;               // kSharedMutexMagic once initialised
  std::uint32_t recursion;           // touched only by the owner
  std::atomic<std::uint64_t> owner;  // the owning thread's token, 0 when free
  pthread_mutex_t mutex;             // robust and process-shared
};
static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "shared across processes");

inline constexpr std::uint32_t kSharedMutexMagic = 0x584D5654;

class MutexMapping {
 public:
  // The mapping of an open backing file (attached once more when this process has it already),
  // or of fresh anonymous memory when fd is -1. Null when it cannot be mapped.
  static MutexMapping* Attach(int fd);
  // Drops one handle's use; unmaps when no handle uses it and no thread here holds it.
  void Detach();

  SharedMutex* Shared() const { return m_pShared; }
  // Ownership changes made by threads of this process, one count per recursion level.
  void Acquired();
  void Released();

 private:
  MutexMapping(SharedMutex* shared, std::uint64_t device, std::uint64_t inode, bool named)
      : m_pShared(shared), m_device(device), m_inode(inode), m_bNamed(named) {}

  SharedMutex* m_pShared;
  std::uint64_t m_device;
  std::uint64_t m_inode;
  bool m_bNamed;
  int m_nHandles = 1;
  long m_nHeld = 0;
};

// Makes the memory a free mutex.
void InitializeSharedMutex(SharedMutex* shared);

// The calling thread's token: random, so it names one thread among all processes, also after
// the thread has ended and its id has been reused.
std::uint64_t ThreadToken();

}  // namespace win32
