// A very small lock for data shared with download threads: a word changed only with
// interlocked increment and decrement, -1 when free and 0 when held. A thread that
// finds it taken gives up its time slice at the lowest priority, so the holder runs.
#pragma once

#include <windows.h>

class SpinLock {
public:
    SpinLock() = default;
    SpinLock(const SpinLock&) = delete;
    SpinLock& operator=(const SpinLock&) = delete;

    static void Acquire(volatile LONG* word);
    static void Release(volatile LONG* word);
    static void GiveWay();

    void Acquire() { Acquire(&word_); }
    void Release() { Release(&word_); }
    volatile LONG* Word() { return &word_; }
    LONG Value() const { return word_; }

private:
    alignas(4) volatile LONG word_ = -1;
};

// Holds a spin lock for a scope; releases it on every way out.
class SpinGuard {
public:
    explicit SpinGuard(volatile LONG* word) : word_(word) { Acquire(); }
    explicit SpinGuard(SpinLock& lock) : SpinGuard(lock.Word()) {}
    ~SpinGuard() { Release(); }
    SpinGuard(const SpinGuard&) = delete;
    SpinGuard& operator=(const SpinGuard&) = delete;

    void Acquire()
    {
        if (!held_) {
            SpinLock::Acquire(word_);
            held_ = true;
        }
    }
    void Release()
    {
        if (held_) {
            SpinLock::Release(word_);
            held_ = false;
        }
    }

private:
    bool held_ = false;
    volatile LONG* word_;
};
