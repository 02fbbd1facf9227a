#include "platform/win32/src/MutexMappings.h"

#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <mutex>
#include <new>
#include <utility>

namespace win32 {

namespace {

struct MappingTable {
  std::mutex lock;
  std::map<std::pair<std::uint64_t, std::uint64_t>, MutexMapping*> byFile;
};

// Never destroyed: handles may still be closed while static objects are torn down.
MappingTable& Table() {
  static auto* table = new MappingTable;
  return *table;
}

}  // namespace

MutexMapping* MutexMapping::Attach(int fd) {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  if (fd >= 0) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size < static_cast<off_t>(sizeof(SharedMutex)))
      return nullptr;
    device = info.st_dev;
    inode = info.st_ino;
  }
  MappingTable& table = Table();
  std::lock_guard<std::mutex> lock(table.lock);
  if (fd >= 0) {
    auto found = table.byFile.find({device, inode});
    if (found != table.byFile.end()) {
      ++found->second->m_nHandles;
      return found->second;
    }
  }
  int flags = fd >= 0 ? MAP_SHARED : MAP_SHARED | MAP_ANONYMOUS;
  void* memory = mmap(nullptr, sizeof(SharedMutex), PROT_READ | PROT_WRITE, flags, fd, 0);
  if (memory == MAP_FAILED) return nullptr;
  auto* mapping = new MutexMapping(static_cast<SharedMutex*>(memory), device, inode, fd >= 0);
  if (fd >= 0) table.byFile[{device, inode}] = mapping;
  return mapping;
}

void MutexMapping::Detach() {
  MappingTable& table = Table();
  {
    std::lock_guard<std::mutex> lock(table.lock);
    if (--m_nHandles > 0 || m_nHeld > 0) return;
    if (m_bNamed) table.byFile.erase({m_device, m_inode});
  }
  munmap(m_pShared, sizeof(SharedMutex));
  delete this;
}

void MutexMapping::Acquired() {
  std::lock_guard<std::mutex> lock(Table().lock);
  ++m_nHeld;
}

void MutexMapping::Released() {
  std::lock_guard<std::mutex> lock(Table().lock);
  --m_nHeld;
}

void InitializeSharedMutex(SharedMutex* shared) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
  pthread_mutex_init(&shared->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  shared->recursion = 0;
  new (&shared->owner) std::atomic<std::uint64_t>(0);
  shared->magic = kSharedMutexMagic;
}

std::uint64_t ThreadToken() {
  // Made again in a forked child, whose thread is not the one that made the parent's token.
  thread_local pid_t madeIn = 0;
  thread_local std::uint64_t token = 0;
  if (madeIn != getpid()) {
    madeIn = getpid();
    token = 0;
    while (token == 0) {
      if (getrandom(&token, sizeof token, 0) != static_cast<ssize_t>(sizeof token))
        token =
            (static_cast<std::uint64_t>(madeIn) << 32) ^ static_cast<std::uint64_t>(gettid()) ^
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
  }
  return token;
}

}  // namespace win32
