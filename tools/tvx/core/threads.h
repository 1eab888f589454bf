// The threads a scan reads its files on: the C++ runtime's where it has them, Windows' own in the
// Windows build, whose runtime has none (it runs on Windows XP, which has no condition variables
// either: there a signal is made of an event).
#pragma once

#include <functional>
#include <memory>

namespace tvx::core {

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  void unlock();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Holds a mutex while it lives; may let go of it and take it again.
class Lock {
 public:
  explicit Lock(Mutex& mutex) : mutex_(mutex) { mutex_.lock(); }
  ~Lock() {
    if (held_) mutex_.unlock();
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  void Unlock() {
    mutex_.unlock();
    held_ = false;
  }
  void Relock() {
    mutex_.lock();
    held_ = true;
  }
  Mutex& mutex() { return mutex_; }

 private:
  Mutex& mutex_;
  bool held_ = true;
};

// What threads wait on for a change, each under the same mutex; it may wake them for nothing, so
// they look again at what they wait for.
class Signal {
 public:
  Signal();
  ~Signal();
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;
  // Lets go of the lock while it waits, and takes it again; at most `milliseconds` when given.
  void Wait(Lock& lock, int milliseconds = -1);
  // Wakes every thread waiting; the caller holds the lock.
  void NotifyAll();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class Thread {
 public:
  explicit Thread(std::function<void()> run);
  ~Thread();  // joins
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  void Join();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The processors of this machine.
unsigned ProcessorCount();

}  // namespace tvx::core
