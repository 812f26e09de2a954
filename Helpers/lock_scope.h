#pragma once
// Holds a lock (anything with enter and leave) for the scope it lives in.

template <class Lock>
class lock_scope {
public:
    explicit lock_scope(Lock& lock) : lock_(lock) { lock_.enter(); }
    ~lock_scope() { lock_.leave(); }
    lock_scope(const lock_scope&) = delete;
    lock_scope& operator=(const lock_scope&) = delete;

private:
    Lock& lock_;
};
