#include "platform/process/Thread.h"

#include "platform/Exception.h"

#include <windows.h>

struct TThread::TState {
    std::function<void()> Work;
    HANDLE Handle = nullptr;
};

namespace {
DWORD WINAPI RunWork(void* state) {
    static_cast<std::function<void()>*>(state)->operator()();
    return 0;
}
} // namespace

TThread::TThread(std::function<void()> work) : State(std::make_unique<TState>()) {
    State->Work = std::move(work);
    State->Handle = CreateThread(nullptr, 0, RunWork, &State->Work, 0, nullptr);
    if (!State->Handle) throw Exception("Cannot start a thread");
}

TThread::~TThread() {
    WaitForSingleObject(State->Handle, INFINITE);
    CloseHandle(State->Handle);
}

struct TLockedCondition::TState {
    SRWLOCK Lock = SRWLOCK_INIT;
    CONDITION_VARIABLE Condition = CONDITION_VARIABLE_INIT;
};

TLockedCondition::TLockedCondition() : State(std::make_unique<TState>()) {}
TLockedCondition::~TLockedCondition() = default;

void TLockedCondition::Lock() {
    AcquireSRWLockExclusive(&State->Lock);
}

void TLockedCondition::Unlock() {
    ReleaseSRWLockExclusive(&State->Lock);
}

void TLockedCondition::Wait() {
    SleepConditionVariableSRW(&State->Condition, &State->Lock, INFINITE, 0);
}

void TLockedCondition::WakeAll() {
    WakeAllConditionVariable(&State->Condition);
}
