// Runs a clean-up when a scope is left, unless the work succeeded and the guard was
// dismissed: a start-up that can fail at many steps undoes what it did in one place.
//     ScopeGuard removeFile = MakeScopeGuard([&] { DeleteFileA(path); });
//     ... (any early return deletes the file)
//     removeFile.Dismiss();
#pragma once

#include <utility>

template <class Action> class ScopeGuard {
  public:
    explicit ScopeGuard(Action action) : action_(std::move(action)), armed_(true) {}
    ScopeGuard(ScopeGuard&& other) : action_(std::move(other.action_)), armed_(other.armed_) {
        other.armed_ = false;
    }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;
    ScopeGuard& operator=(ScopeGuard&&) = delete;
    ~ScopeGuard() {
        if (armed_) {
            action_();
        }
    }

    void Dismiss() { armed_ = false; }

  private:
    Action action_;
    bool armed_;
};

template <class Action> ScopeGuard<Action> MakeScopeGuard(Action action) {
    return ScopeGuard<Action>(std::move(action));
}
