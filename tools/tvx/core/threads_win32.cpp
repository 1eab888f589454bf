// Windows' own threads, with what Windows XP has: critical sections, events and threads. A signal
// is a manual-reset event set for the threads waiting when it is given: each of them, as it
// wakes, takes one of the releases it was given, and the last one resets the event. A thread that
// starts to wait meanwhile is not among them, and waits for the next.
#include <windows.h>

#include <algorithm>
#include <exception>

#include "threads.h"

namespace tvx::core {

struct Mutex::Impl {
  CRITICAL_SECTION section;
};

Mutex::Mutex() : impl_(std::make_unique<Impl>()) {
  InitializeCriticalSection(&impl_->section);
}
Mutex::~Mutex() {
  DeleteCriticalSection(&impl_->section);
}
void Mutex::lock() {
  EnterCriticalSection(&impl_->section);
}
void Mutex::unlock() {
  LeaveCriticalSection(&impl_->section);
}

struct Signal::Impl {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  unsigned waiting = 0;     // threads in Wait
  unsigned releases = 0;    // of them, those the last NotifyAll woke that have not yet woken
  unsigned generation = 0;  // NotifyAll calls so far
};

Signal::Signal() : impl_(std::make_unique<Impl>()) {}
Signal::~Signal() {
  CloseHandle(impl_->event);
}

void Signal::Wait(Lock& lock, int milliseconds) {
  Impl& s = *impl_;
  const unsigned mine = s.generation;
  ++s.waiting;
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD wait = INFINITE;
    if (milliseconds >= 0) {
      const DWORD spent = GetTickCount() - start;
      wait =
          spent < static_cast<DWORD>(milliseconds) ? static_cast<DWORD>(milliseconds) - spent : 0;
    }
    lock.Unlock();
    const DWORD result = WaitForSingleObject(s.event, wait);
    lock.Relock();
    if (s.releases > 0 && s.generation != mine) {
      // Woken by a NotifyAll given while this thread waited.
      --s.waiting;
      if (--s.releases == 0) ResetEvent(s.event);
      return;
    }
    if (result != WAIT_OBJECT_0) break;  // the time is up
    // The event is still set for the threads of an earlier NotifyAll: let them take it.
    lock.Unlock();
    Sleep(1);
    lock.Relock();
  }
  --s.waiting;
}

void Signal::NotifyAll() {
  Impl& s = *impl_;
  if (s.waiting == 0) return;
  s.releases = s.waiting;
  ++s.generation;
  SetEvent(s.event);
}

struct Thread::Impl {
  std::function<void()> run;
  HANDLE handle = nullptr;
};

namespace {

DWORD WINAPI Start(LPVOID impl) {
  static_cast<std::function<void()>*>(impl)->operator()();
  return 0;
}

}  // namespace

Thread::Thread(std::function<void()> run) : impl_(std::make_unique<Impl>()) {
  impl_->run = std::move(run);
  impl_->handle = CreateThread(nullptr, 0, &Start, &impl_->run, 0, nullptr);
  // A system that cannot start a thread more cannot run the scan it was for either.
  if (impl_->handle == nullptr) std::terminate();
}

Thread::~Thread() {
  Join();
}

void Thread::Join() {
  if (impl_->handle == nullptr) return;
  WaitForSingleObject(impl_->handle, INFINITE);
  CloseHandle(impl_->handle);
  impl_->handle = nullptr;
}

unsigned ProcessorCount() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return std::max<unsigned>(info.dwNumberOfProcessors, 1);
}

}  // namespace tvx::core
