#include "platform/process/Thread.h"

#include <condition_variable>
#include <mutex>
#include <thread>

struct TThread::TState {
    std::thread Thread;
};

TThread::TThread(std::function<void()> work) : State(std::make_unique<TState>()) {
    State->Thread = std::thread(std::move(work));
}

TThread::~TThread() {
    State->Thread.join();
}

struct TLockedCondition::TState {
    std::mutex Mutex;
    std::condition_variable_any Condition;
};

TLockedCondition::TLockedCondition() : State(std::make_unique<TState>()) {}
TLockedCondition::~TLockedCondition() = default;

void TLockedCondition::Lock() {
    State->Mutex.lock();
}

void TLockedCondition::Unlock() {
    State->Mutex.unlock();
}

void TLockedCondition::Wait() {
    State->Condition.wait(State->Mutex);
}

void TLockedCondition::WakeAll() {
    State->Condition.notify_all();
}
