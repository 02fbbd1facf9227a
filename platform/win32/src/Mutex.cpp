// Named mutexes: each name is a file holding a robust, process-shared pthread mutex.
// Every open handle holds a shared flock on the file, so a name exists exactly while some
// process has a handle to it, even when processes die: a file nobody locks is stale.
// Creating, opening and closing run under one exclusive flock on <root>/.lock, which keeps
// those checks free of races between processes.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/KernelObject.h"
#include "platform/win32/src/MutexMappings.h"
#include "platform/win32/src/MutexNames.h"

namespace win32 {

namespace {

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    default:
      return ERROR_NOT_ENOUGH_MEMORY;
  }
}

int LockFile(int fd, int operation) {
  int result;
  do {
    result = flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result;
}

// The exclusive lock under which names are created, opened and closed.
class NamespaceLock {
 public:
  NamespaceLock(const std::string& root, bool create) {
    int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0);
    m_fd = open((root + "/.lock").c_str(), flags, 0666);
    if (m_fd < 0) {
      m_error = ErrorFromErrno(errno);
      return;
    }
    if (create) fchmod(m_fd, 0666);
    if (LockFile(m_fd, LOCK_EX) != 0) m_error = ErrorFromErrno(errno);
  }
  ~NamespaceLock() {
    if (m_fd >= 0) close(m_fd);
  }
  NamespaceLock(const NamespaceLock&) = delete;
  NamespaceLock& operator=(const NamespaceLock&) = delete;

  DWORD Error() const { return m_error; }

 private:
  int m_fd = -1;
  DWORD m_error = ERROR_SUCCESS;
};

// Folders every account may create names in, as in the system's object namespace.
DWORD MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 01777) == 0) {
    chmod(path.c_str(), 01777);
    return ERROR_SUCCESS;
  }
  return errno == EEXIST ? ERROR_SUCCESS : ErrorFromErrno(errno);
}

class MutexObject : public WaitableObject {
 public:
  // Takes over fd (-1 for an unnamed mutex) and the mapping's use.
  MutexObject(MutexMapping* mapping, int fd, MutexFile file)
      : m_pMapping(mapping), m_fd(fd), m_file(std::move(file)) {}

  ~MutexObject() override {
    if (m_fd >= 0) {
      NamespaceLock lock(m_file.root, false);
      // The last handle anywhere takes the name with it.
      if (lock.Error() == ERROR_SUCCESS && LockFile(m_fd, LOCK_EX | LOCK_NB) == 0)
        unlink(m_file.path.c_str());
      close(m_fd);
    }
    m_pMapping->Detach();
  }

  DWORD Wait(DWORD milliseconds) override {
    SharedMutex* shared = m_pMapping->Shared();
    std::uint64_t self = ThreadToken();
    if (shared->owner.load(std::memory_order_relaxed) == self) {
      ++shared->recursion;
      m_pMapping->Acquired();
      return WAIT_OBJECT_0;
    }
    int result = Lock(&shared->mutex, milliseconds);
    if (result == EOWNERDEAD) pthread_mutex_consistent(&shared->mutex);
    switch (result) {
      case 0:
      case EOWNERDEAD:
        shared->owner.store(self, std::memory_order_relaxed);
        shared->recursion = 1;
        m_pMapping->Acquired();
        return result == 0 ? WAIT_OBJECT_0 : WAIT_ABANDONED;
      case EBUSY:
      case ETIMEDOUT:
        return WAIT_TIMEOUT;
      default:
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
  }

  BOOL Release() {
    SharedMutex* shared = m_pMapping->Shared();
    if (shared->owner.load(std::memory_order_relaxed) != ThreadToken()) {
      SetLastError(ERROR_NOT_OWNER);
      return FALSE;
    }
    if (--shared->recursion == 0) {
      shared->owner.store(0, std::memory_order_relaxed);
      pthread_mutex_unlock(&shared->mutex);
    }
    m_pMapping->Released();
    return TRUE;
  }

 private:
  static int Lock(pthread_mutex_t* mutex, DWORD milliseconds) {
    if (milliseconds == INFINITE) return pthread_mutex_lock(mutex);
    if (milliseconds == 0) return pthread_mutex_trylock(mutex);
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    return pthread_mutex_timedlock(mutex, &deadline);
  }

  MutexMapping* m_pMapping;
  int m_fd;
  MutexFile m_file;
};

HANDLE Fail(DWORD error, int fd = -1) {
  if (fd >= 0) close(fd);
  SetLastError(error);
  return nullptr;
}

// A handle on a backing file that some other handle keeps alive; fd is locked shared already.
HANDLE HandleOnLiveFile(int fd, MutexFile file) {
  MutexMapping* mapping = MutexMapping::Attach(fd);
  if (mapping == nullptr) return Fail(ERROR_INVALID_HANDLE, fd);  // not a mutex
  if (mapping->Shared()->magic != kSharedMutexMagic) {
    mapping->Detach();
    return Fail(ERROR_INVALID_HANDLE, fd);
  }
  return HandleFromObject(new MutexObject(mapping, fd, std::move(file)));
}

// Opens the existing file of a name and takes a shared lock on it. -1 with the error when the
// name does not exist (a stale file, left by processes that died, is removed on the way).
int OpenLiveFile(const std::string& path, DWORD* error) {
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    *error = ErrorFromErrno(errno);
    return -1;
  }
  if (LockFile(fd, LOCK_EX | LOCK_NB) == 0) {
    unlink(path.c_str());
    close(fd);
    *error = ERROR_FILE_NOT_FOUND;
    return -1;
  }
  if (LockFile(fd, LOCK_SH) != 0) {
    *error = ErrorFromErrno(errno);
    close(fd);
    return -1;
  }
  return fd;
}

HANDLE CreateUnnamed(BOOL initialOwner) {
  MutexMapping* mapping = MutexMapping::Attach(-1);
  if (mapping == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  InitializeSharedMutex(mapping->Shared());
  auto* mutex = new MutexObject(mapping, -1, MutexFile{});
  if (initialOwner) mutex->Wait(INFINITE);
  SetLastError(ERROR_SUCCESS);
  return HandleFromObject(mutex);
}

}  // namespace

}  // namespace win32

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) {
  using namespace win32;
  bool everyone = false;
  if (DWORD error = ReadSecurityAttributes(attributes, &everyone); error != ERROR_SUCCESS)
    return Fail(error);
  if (name == nullptr || *name == L'\0') return CreateUnnamed(initialOwner);

  MutexFile file;
  if (DWORD error = MutexFileForName(name, &file); error != ERROR_SUCCESS) return Fail(error);
  if (DWORD error = MakeFolder(file.root); error != ERROR_SUCCESS) return Fail(error);
  if (DWORD error = MakeFolder(file.directory); error != ERROR_SUCCESS) return Fail(error);
  NamespaceLock lock(file.root, true);
  if (lock.Error() != ERROR_SUCCESS) return Fail(lock.Error());

  mode_t mode = everyone ? 0666 : 0600;
  int fd = open(file.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0 && errno == EEXIST) {
    DWORD error = ERROR_SUCCESS;
    int existing = OpenLiveFile(file.path, &error);
    if (existing >= 0) {
      HANDLE handle = HandleOnLiveFile(existing, std::move(file));
      if (handle != nullptr) SetLastError(ERROR_ALREADY_EXISTS);
      return handle;
    }
    if (error != ERROR_FILE_NOT_FOUND) return Fail(error);
    fd = open(file.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  }
  if (fd < 0) return Fail(ErrorFromErrno(errno));

  fchmod(fd, mode);  // past the umask, as the descriptor asks
  MutexMapping* mapping = nullptr;
  if (ftruncate(fd, sizeof(SharedMutex)) != 0 || LockFile(fd, LOCK_SH) != 0 ||
      (mapping = MutexMapping::Attach(fd)) == nullptr) {
    DWORD error = ErrorFromErrno(errno);
    unlink(file.path.c_str());
    return Fail(error, fd);
  }
  InitializeSharedMutex(mapping->Shared());
  auto* mutex = new MutexObject(mapping, fd, std::move(file));
  // Still under the namespace lock, so no other process can take it first.
  if (initialOwner) mutex->Wait(INFINITE);
  SetLastError(ERROR_SUCCESS);
  return HandleFromObject(mutex);
}

HANDLE OpenMutexW(DWORD /*desiredAccess*/, BOOL /*inheritHandle*/, LPCWSTR name) {
  using namespace win32;
  MutexFile file;
  if (DWORD error = MutexFileForName(name, &file); error != ERROR_SUCCESS) return Fail(error);
  NamespaceLock lock(file.root, false);
  if (lock.Error() != ERROR_SUCCESS) return Fail(lock.Error());
  DWORD error = ERROR_SUCCESS;
  int fd = OpenLiveFile(file.path, &error);
  if (fd < 0) return Fail(error);
  return HandleOnLiveFile(fd, std::move(file));
}

BOOL ReleaseMutex(HANDLE mutex) {
  auto* object = win32::ObjectFromHandle<win32::MutexObject>(mutex);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return object->Release();
}
