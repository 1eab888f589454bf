// Threads of the C++ runtime.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "threads.h"

namespace tvx::core {

struct Mutex::Impl {
  std::mutex mutex;
};

Mutex::Mutex() : impl_(std::make_unique<Impl>()) {}
Mutex::~Mutex() = default;
void Mutex::lock() {
  impl_->mutex.lock();
}
void Mutex::unlock() {
  impl_->mutex.unlock();
}

struct Signal::Impl {
  std::condition_variable_any changed;
};

Signal::Signal() : impl_(std::make_unique<Impl>()) {}
Signal::~Signal() = default;

void Signal::Wait(Lock& lock, int milliseconds) {
  if (milliseconds < 0) {
    impl_->changed.wait(lock.mutex());
  } else {
    impl_->changed.wait_for(lock.mutex(), std::chrono::milliseconds(milliseconds));
  }
}

void Signal::NotifyAll() {
  impl_->changed.notify_all();
}

struct Thread::Impl {
  std::thread thread;
};

Thread::Thread(std::function<void()> run) : impl_(std::make_unique<Impl>()) {
  impl_->thread = std::thread(std::move(run));
}

Thread::~Thread() {
  Join();
}

void Thread::Join() {
  if (impl_->thread.joinable()) impl_->thread.join();
}

unsigned ProcessorCount() {
  return std::max(std::thread::hardware_concurrency(), 1u);
}

}  // namespace tvx::core
