#include "player/core/render/band_pool.h"

#include <algorithm>
#include <system_error>

namespace render {

BandPool::~BandPool() {
    Stop();
}

void BandPool::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) {
        t.join();
    }
    threads_.clear();
    quit_ = false;
}

void BandPool::SetThreads(int count) {
    count = std::max(1, std::min(kMaxDrawThreads, count));
    if (count == Threads()) {
        return;
    }
    Stop();
    threads_.reserve(size_t(count - 1));
    const unsigned now = generation_; // no run is under way here
    for (int i = 1; i < count; ++i) {
        try {
            threads_.emplace_back([this, i, now] { Work(i, now); });
        } catch (const std::system_error&) {
            break; // the system has no more threads to give: draw with those there are
        }
    }
}

void BandPool::Run(int tasks, const std::function<void(int, int)>& job) {
    if (threads_.empty() || tasks <= 1) {
        for (int t = 0; t < tasks; ++t) {
            job(0, t);
        }
        return;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        job_ = &job;
        tasks_ = tasks;
        next_ = 0;
        busy_ = int(threads_.size()) + 1;
        failure_ = nullptr;
        ++generation_;
    }
    wake_.notify_all();
    Take(0);
    std::unique_lock<std::mutex> hold(lock_);
    done_.wait(hold, [this] { return busy_ == 0; });
    job_ = nullptr;
    if (failure_) {
        std::exception_ptr failure = failure_;
        failure_ = nullptr;
        std::rethrow_exception(failure);
    }
}

// Takes tasks until none is left, then counts itself out of the run.
void BandPool::Take(int worker) {
    for (;;) {
        int task;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (next_ >= tasks_) {
                break;
            }
            task = next_++;
        }
        try {
            (*job_)(worker, task);
        } catch (...) {
            std::lock_guard<std::mutex> hold(lock_);
            if (!failure_) {
                failure_ = std::current_exception();
            }
            next_ = tasks_;
        }
    }
    std::lock_guard<std::mutex> hold(lock_);
    if (--busy_ == 0) {
        done_.notify_all();
    }
}

void BandPool::Work(int worker, unsigned seen) {
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(lock_);
            wake_.wait(hold, [&] { return quit_ || generation_ != seen; });
            if (quit_) {
                return;
            }
            seen = generation_;
        }
        Take(worker);
    }
}

} // namespace render
