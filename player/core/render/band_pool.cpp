#include "player/core/render/band_pool.h"

#include <algorithm>

namespace render {

namespace {

struct Start {
    BandPool* pool;
    int worker;
    unsigned seen;
};

} // namespace

std::vector<int> SplitRows(const std::vector<double>& cost, int bands, int minRows) {
    const int rows = int(cost.size());
    double total = 0;
    for (double c : cost) {
        total += c;
    }
    std::vector<int> ends;
    double sum = 0;
    int y = 0;
    for (int b = 1; b < bands; ++b) {
        // At least minRows past the last end, leaving minRows for each band still to come.
        const int least = (ends.empty() ? 0 : ends.back()) + minRows;
        const int most = rows - (bands - b) * minRows;
        const double share = total * b / bands;
        while (y < least || (y < most && sum + cost[size_t(y)] / 2 < share)) {
            sum += cost[size_t(y++)];
        }
        ends.push_back(y);
    }
    ends.push_back(rows);
    return ends;
}

void* BandPool::Enter(void* start) {
    const Start s = *static_cast<Start*>(start);
    delete static_cast<Start*>(start);
    s.pool->Work(s.worker, s.seen);
    return nullptr;
}

BandPool::~BandPool() {
    Stop();
}

void BandPool::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    for (pthread_t t : threads_) {
        pthread_join(t, nullptr);
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
        Start* start = new Start{this, i, now};
        pthread_t thread;
        if (pthread_create(&thread, nullptr, Enter, start) != 0) {
            delete start;
            break; // the system has no more threads to give: draw with those there are
        }
        threads_.push_back(thread);
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
        ++generation_;
    }
    wake_.notify_all();
    Take(0);
    std::unique_lock<std::mutex> hold(lock_);
    done_.wait(hold, [this] { return busy_ == 0; });
    job_ = nullptr;
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
        (*job_)(worker, task);
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
