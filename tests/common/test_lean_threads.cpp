// The POSIX thread calls the shipped programs answer with Win32 (common/lean_threads.cpp),
// driven through the C++ library's std::mutex and std::condition_variable as the engine
// uses them; and the bitwise crc32 standing in for zlib's (common/lean_crc32.cpp). A plain program:
// GoogleTest calls more of MinGW's thread library, which must not be linked beside these. A lost
// wake-up hangs a case: ctest's timeout reports it.
#include <errno.h>
#include <pthread.h>
#include <zlib.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#undef nanosleep

namespace {

int g_failures = 0;

void Expect(bool ok, const char* what, long long got = 0, long long wanted = 0) {
    if (!ok) {
        std::printf("FAILED: %s (got %lld, wanted %lld)\n", what, got, wanted);
        ++g_failures;
    }
}

// Starts count threads on body(index) and joins them all.
template <class Body> void RunThreads(int count, Body body) {
    struct Start {
        Body* body;
        int index;
    };
    std::vector<Start> starts(size_t(count), Start{&body, 0});
    std::vector<pthread_t> threads(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        starts[size_t(i)].index = i;
        const int made = pthread_create(
            &threads[size_t(i)], nullptr,
            [](void* s) -> void* {
                auto* start = static_cast<Start*>(s);
                (*start->body)(start->index);
                return nullptr;
            },
            &starts[size_t(i)]);
        Expect(made == 0, "pthread_create", made, 0);
    }
    for (pthread_t t : threads) {
        Expect(pthread_join(t, nullptr) == 0, "pthread_join");
    }
}

// Many threads over more locks than the table of sleeping queues has rows, so that locks
// share queues: every increment must count, none may sleep for another lock's wake-up.
void CountersUnderContention() {
    struct Case {
        int threads, locks, rounds;
    } cases[] = {{2, 1, 20000}, {8, 1, 5000}, {8, 3, 5000}, {6, 200, 2000}};
    for (const Case& c : cases) {
        std::vector<std::mutex> locks(size_t(c.locks));
        std::vector<long> counts(size_t(c.locks), 0);
        RunThreads(c.threads, [&](int me) {
            for (int r = 0; r < c.rounds; ++r) {
                const size_t at = size_t(r * 7 + me) % locks.size();
                std::lock_guard<std::mutex> hold(locks[at]);
                ++counts[at];
            }
        });
        long total = 0;
        for (long n : counts) {
            total += n;
        }
        Expect(total == long(c.threads) * c.rounds, "increments counted", total,
               long(c.threads) * c.rounds);
    }
}

// A hand-off in both directions with notify_one (each wake-up wanted by exactly one
// thread), then a broadcast that must reach every sleeper.
void ConditionVariables() {
    {
        std::mutex lock;
        std::condition_variable changed;
        int turn = 0; // even: the first thread's, odd: the second's
        const int rounds = 2000;
        RunThreads(2, [&](int me) {
            for (int r = 0; r < rounds; ++r) {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold, [&] { return turn % 2 == me; });
                ++turn;
                changed.notify_one();
            }
        });
        Expect(turn == 2 * rounds, "turns taken", turn, 2 * rounds);
    }
    for (int sleepers : {1, 7, 16}) {
        std::mutex lock;
        std::condition_variable go, ready;
        int waiting = 0, woken = 0;
        bool open = false;
        RunThreads(sleepers + 1, [&](int me) {
            std::unique_lock<std::mutex> hold(lock);
            if (me == 0) {
                ready.wait(hold, [&] { return waiting == sleepers; });
                open = true;
                go.notify_all();
                return;
            }
            ++waiting;
            ready.notify_one();
            go.wait(hold, [&] { return open; });
            ++woken;
        });
        Expect(woken == sleepers, "sleepers woken by one broadcast", woken, sleepers);
    }
}

// The values the library's initialisers leave, at the edges of what a plain mutex is.
void MutexStates() {
    struct Case {
        pthread_mutex_t initial;
        int lock, tryWhileHeld;
    } cases[] = {
        {PTHREAD_MUTEX_INITIALIZER, 0, EBUSY},            // never used yet
        {0, 0, EBUSY},                                    // used and free
        {PTHREAD_RECURSIVE_MUTEX_INITIALIZER, EINVAL, 0}, // kinds not made here
        {PTHREAD_ERRORCHECK_MUTEX_INITIALIZER, EINVAL, 0},
    };
    for (const Case& c : cases) {
        pthread_mutex_t m = c.initial;
        const int locked = pthread_mutex_lock(&m);
        Expect(locked == c.lock, "lock", locked, c.lock);
        if (locked != 0) {
            continue;
        }
        int tried = -1;
        RunThreads(1, [&](int) { tried = pthread_mutex_trylock(&m); });
        Expect(tried == c.tryWhileHeld, "try while held", tried, c.tryWhileHeld);
        Expect(pthread_mutex_unlock(&m) == 0, "unlock");
        Expect(pthread_mutex_trylock(&m) == 0, "try when free");
        Expect(pthread_mutex_unlock(&m) == 0, "unlock after try");
    }
}

void ThreadsAndKeys() {
    static int value = 0;
    pthread_t t;
    Expect(pthread_create(
               &t, nullptr, [](void*) -> void* { return &value; }, nullptr) == 0,
           "create");
    void* result = nullptr;
    Expect(pthread_join(t, &result) == 0 && result == &value, "join gives the result");

    const int processors = pthread_num_processors_np();
    Expect(processors >= 1, "processors", processors, 1);
    Expect(std::thread::hardware_concurrency() == unsigned(processors), "hardware_concurrency");

    pthread_key_t key;
    Expect(pthread_key_create(&key, [](void*) {}) == EAGAIN, "key with destructor refused");
    Expect(pthread_key_create(&key, nullptr) == 0, "key");
    int mine = 1, theirs = 2;
    pthread_setspecific(key, &mine);
    RunThreads(1, [&](int) {
        Expect(pthread_getspecific(key) == nullptr, "a new thread's value is empty");
        pthread_setspecific(key, &theirs);
    });
    Expect(pthread_getspecific(key) == &mine, "values are per thread");
    Expect(pthread_key_delete(key) == 0, "key deleted");

    static pthread_once_t once = PTHREAD_ONCE_INIT;
    static long runs = 0;
    RunThreads(8, [&](int) { pthread_once(&once, [] { ++runs; }); });
    Expect(runs == 1, "once", runs, 1);
}

void Clocks() {
    struct Case {
        long nsec;
        int result;
    } sleeps[] = {{-1, -1}, {0, 0}, {1, 0}, {999999999, 0}, {1000000000, -1}};
    for (const Case& c : sleeps) {
        const timespec request{0, c.nsec};
        errno = 0;
        const int slept = nanosleep(&request, nullptr);
        Expect(slept == c.result, "nanosleep", c.nsec, c.result);
        Expect(slept == 0 || errno == EINVAL, "nanosleep's errno", errno, EINVAL);
    }
    timespec a{}, b{};
    Expect(clock_gettime(CLOCK_MONOTONIC, &a) == 0 && clock_gettime(CLOCK_MONOTONIC, &b) == 0,
           "monotonic clock");
    Expect(b.tv_sec > a.tv_sec || (b.tv_sec == a.tv_sec && b.tv_nsec >= a.tv_nsec),
           "monotonic clock never goes back");
    Expect(clock_gettime(CLOCK_REALTIME, &a) == 0, "wall clock");
    Expect(a.tv_sec > 1577836800, "wall clock after 2020", (long long)a.tv_sec, 1577836800);
    for (const timespec& t : {a, b}) {
        Expect(t.tv_nsec >= 0 && t.tv_nsec < 1000000000, "nanoseconds in range", t.tv_nsec);
    }
    Expect(clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a) == -1 && errno == EINVAL,
           "clocks not kept are refused");
}

// The standard check values, and a checksum carried across calls.
void Crc32() {
    struct Case {
        const char* bytes;
        uInt length;
        uLong wanted;
    } cases[] = {{"", 0, 0},
                 {"a", 1, 0xE8B7BE43},
                 {"123456789", 9, 0xCBF43926},
                 {"\xFF\x00\x80", 3, 0xAC616EDF}}; // every bit of a byte, a zero inside
    for (const Case& c : cases) {
        const uLong got = crc32(0, reinterpret_cast<const Bytef*>(c.bytes), c.length);
        Expect(got == c.wanted, "crc32", (long long)got, (long long)c.wanted);
    }
    const Bytef* digits = reinterpret_cast<const Bytef*>("123456789");
    Expect(crc32(crc32(0, digits, 4), digits + 4, 5) == 0xCBF43926, "crc32 carried on");
    Expect(crc32(12345, nullptr, 7) == 0, "crc32's starting value");
}

} // namespace

int main() {
    CountersUnderContention();
    ConditionVariables();
    MutexStates();
    ThreadsAndKeys();
    Clocks();
    Crc32();
    std::printf(g_failures == 0 ? "lean threads: all passed\n" : "lean threads: %d failed\n",
                g_failures);
    return g_failures == 0 ? 0 : 1;
}
