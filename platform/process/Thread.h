// A thread of the program's own, and the lock and condition its work is handed over with. On
// Windows the system's thread, slim lock and condition variable: a wait costs no kernel object
// (under Wine no server call either), and nothing of a threads library travels in the setup
// programs.
#pragma once

#include <functional>
#include <memory>

class TThread {
public:
    // Starts work on a new thread; raises Exception when the system cannot make one.
    explicit TThread(std::function<void()> work);
    // Waits for work to end.
    ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

private:
    struct TState;
    std::unique_ptr<TState> State;
};

// A lock with one condition to wait for. Wait and WakeAll are called with the lock held.
class TLockedCondition {
public:
    TLockedCondition();
    ~TLockedCondition();
    TLockedCondition(const TLockedCondition&) = delete;
    TLockedCondition& operator=(const TLockedCondition&) = delete;

    void Lock();
    void Unlock();
    // Unlocks, waits until woken (or spuriously), locks again: call it in a loop over the state.
    void Wait();
    void WakeAll();

private:
    struct TState;
    std::unique_ptr<TState> State;
};

// Holds a TLockedCondition's lock for a scope.
class TLockHeld {
public:
    explicit TLockHeld(TLockedCondition& condition) : Condition(condition) { Condition.Lock(); }
    ~TLockHeld() { Condition.Unlock(); }
    TLockHeld(const TLockHeld&) = delete;
    TLockHeld& operator=(const TLockHeld&) = delete;

private:
    TLockedCondition& Condition;
};
