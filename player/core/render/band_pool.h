// A few drawing threads kept for the life of a renderer: a frame's bands are handed out
// one at a time to whichever thread is free, the calling thread among them. Threads are
// made once, when their count is set, and sleep between frames.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace render {

// Drawing threads one frame may use, the calling thread included.
const int kMaxDrawThreads = 16;

// Where bands of rows end so that each holds about an equal share of `cost` (the work of
// each row, none negative): `bands` ends, increasing, the last rows.size(), every band at
// least `minRows` rows (callers ask for no more bands than the rows allow); with no work at
// all, every band but the last has its least rows.
std::vector<int> SplitRows(const std::vector<double>& cost, int bands, int minRows);

class BandPool {
  public:
    BandPool() = default;
    ~BandPool();
    BandPool(const BandPool&) = delete;
    BandPool& operator=(const BandPool&) = delete;

    // Threads taking part from the next Run, the caller included (1 to kMaxDrawThreads).
    // When the system gives fewer, those it gave are used.
    void SetThreads(int count);
    int Threads() const { return int(threads_.size()) + 1; }

    // Calls job(worker, task) once for every task in [0, tasks), worker in [0, Threads()),
    // never two tasks on one worker at once; returns when all are done.
    void Run(int tasks, const std::function<void(int worker, int task)>& job);

  private:
    static void* Enter(void* start);
    void Work(int worker, unsigned seen);
    void Take(int worker);
    void Stop();

    // POSIX threads, whose creation answers with a result (std::thread's throws).
    std::vector<pthread_t> threads_;
    std::mutex lock_;
    std::condition_variable wake_, done_;
    const std::function<void(int, int)>* job_ = nullptr;
    unsigned generation_ = 0; // one more for every Run
    int tasks_ = 0, next_ = 0, busy_ = 0;
    bool quit_ = false;
};

} // namespace render
