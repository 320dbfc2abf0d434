// ZQ_TRWLock: a reader-writer lock, with guards that release it on every
// exit path.
#pragma once

#include <shared_mutex>

class ZQ_TRWLock {
 public:
  void LockShared() { iMutex.lock_shared(); }
  void UnlockShared() { iMutex.unlock_shared(); }
  void LockExclusive() { iMutex.lock(); }
  void UnlockExclusive() { iMutex.unlock(); }

 private:
  std::shared_mutex iMutex;
};

// Holds the lock shared, or exclusively, for its scope.
class ZQ_TLockGuard {
 public:
  ZQ_TLockGuard(ZQ_TRWLock& lock, bool exclusive) : iLock(lock), iExclusive(exclusive) {
    if (exclusive) {
      lock.LockExclusive();
    } else {
      lock.LockShared();
    }
  }
  ~ZQ_TLockGuard() {
    if (iExclusive) {
      iLock.UnlockExclusive();
    } else {
      iLock.UnlockShared();
    }
  }
  ZQ_TLockGuard(const ZQ_TLockGuard&) = delete;
  ZQ_TLockGuard& operator=(const ZQ_TLockGuard&) = delete;

 private:
  ZQ_TRWLock& iLock;
  bool iExclusive;
};
