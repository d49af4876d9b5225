#pragma once
// The process-wide print lock. A print request holds it from its first step
// to its last, so that two prints never overlap; the operator's database
// connection and department lists are handed out only against proof of
// holding it (a PrintLock::Held), so that using them without the lock does
// not compile.

#include <QMutex>

namespace operator_state {

class PrintLock {
public:
    // Proof that the lock is held, for as long as it lives. Only acquire()
    // makes one; it can be neither copied nor moved.
    class Held {
    public:
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;
        ~Held() = default;

        bool guards(const PrintLock& lock) const { return &lock == &lock_; }

    private:
        friend class PrintLock;
        explicit Held(PrintLock& lock) : lock_(lock), locker_(&lock.mutex_) {}

        const PrintLock& lock_;
        QMutexLocker<QMutex> locker_;
    };

    PrintLock() = default;
    PrintLock(const PrintLock&) = delete;
    PrintLock& operator=(const PrintLock&) = delete;

    // Waits until no other thread holds the lock.
    [[nodiscard]] Held acquire() { return Held(*this); }

private:
    QMutex mutex_;
};

}  // namespace operator_state
