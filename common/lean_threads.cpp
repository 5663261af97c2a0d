// The POSIX thread calls that the programs we ship make (the engine's drawing threads and
// locks, std::mutex and std::condition_variable of the C++ library, its clocks), answered
// with Win32 in place of MinGW's posix-threads library (some 25 KB linked statically).
// Linked as an object into those programs only: should anything there call a POSIX thread
// function not defined here, the library's member that defines it also defines some of
// these, and the link fails with a duplicate definition instead of mixing the two.
//
// Everything keeps the library's types and initial values (a mutex or condition variable
// is one pointer-sized word, -1 until first used; std::mutex is never destroyed), so no
// lock owns memory or a kernel object. Waiting goes through a small table of queues keyed
// by the word's address, each sleeper on its thread's own event: Windows XP has neither
// slim locks nor condition variables, and Windows 98 no keyed events.
#include <windows.h>

#include <errno.h>
#include <pthread.h>
#include <process.h>
#include <stdlib.h>

#undef nanosleep // pthread.h makes these cancellation points, which we have not
#undef clock_nanosleep

namespace {

// --- Sleeping on a word until another thread wakes it ---------------------------------

struct Sleeper {
    volatile intptr_t* word;
    HANDLE event; // the thread's own; null when none could be made: then woken is polled
    volatile LONG woken;
    Sleeper* next;
};

struct Queue {
    volatile LONG busy; // held only while a sleeper is added or taken
    Sleeper* first;
};

constexpr int kQueues = 64;
Queue g_queues[kQueues];

Queue& QueueOf(volatile intptr_t* word) {
    return g_queues[(uintptr_t(word) / sizeof(intptr_t)) % kQueues];
}

// Waits a moment for a brief holder: yields at first, then sleeps, so that a holder of lower
// priority (which Sleep(0) never lets run) gets the processor too.
void Pause(int& round) {
    Sleep(++round < 64 ? 0 : 1);
}

void Hold(Queue& q) {
    for (int round = 0; InterlockedExchange(&q.busy, 1) != 0;) {
        Pause(round);
    }
}

void Release(Queue& q) {
    InterlockedExchange(&q.busy, 0);
}

volatile LONG g_eventSlot = -1; // the thread-local slot of each thread's wake-up event
volatile LONG g_slotClaim = 0;

DWORD EventSlot() {
    LONG slot = g_eventSlot;
    if (slot >= 0) {
        return DWORD(slot);
    }
    for (int round = 0; InterlockedExchange(&g_slotClaim, 1) != 0;) {
        Pause(round);
    }
    if (g_eventSlot < 0) {
        const DWORD made = TlsAlloc();
        if (made != TLS_OUT_OF_INDEXES) {
            InterlockedExchange(&g_eventSlot, LONG(made));
        }
    }
    InterlockedExchange(&g_slotClaim, 0);
    return g_eventSlot < 0 ? TLS_OUT_OF_INDEXES : DWORD(g_eventSlot);
}

// Made when a thread first sleeps; closed when a thread made here ends (a host's thread
// keeps its one event for its life).
HANDLE ThreadEvent() {
    const DWORD slot = EventSlot();
    if (slot == TLS_OUT_OF_INDEXES) {
        return nullptr;
    }
    HANDLE event = TlsGetValue(slot);
    if (event == nullptr) {
        event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (event != nullptr && !TlsSetValue(slot, event)) {
            CloseHandle(event);
            event = nullptr;
        }
    }
    return event;
}

// Sleeps while *word holds expected, until a Wake for the word takes this sleeper.
void WaitWhile(volatile intptr_t* word, intptr_t expected) {
    Queue& q = QueueOf(word);
    Sleeper me{word, ThreadEvent(), 0, nullptr};
    Hold(q);
    if (__atomic_load_n(word, __ATOMIC_SEQ_CST) != expected) {
        Release(q);
        return;
    }
    Sleeper** end = &q.first; // first come, first woken
    while (*end != nullptr) {
        end = &(*end)->next;
    }
    *end = &me;
    Release(q);
    // The waker takes the sleeper off the queue and then sets its event exactly once, so
    // the event is waited for exactly once and never left set for a later sleep.
    if (me.event == nullptr || WaitForSingleObject(me.event, INFINITE) != WAIT_OBJECT_0) {
        while (InterlockedCompareExchange(&me.woken, 0, 0) == 0) {
            Sleep(1);
        }
    }
}

// Wakes at most count sleepers of the word, the longest sleeping first.
void Wake(volatile intptr_t* word, int count) {
    Queue& q = QueueOf(word);
    Hold(q);
    for (Sleeper** at = &q.first; *at != nullptr && count > 0;) {
        Sleeper* s = *at;
        if (s->word != word) {
            at = &s->next;
            continue;
        }
        *at = s->next;
        --count;
        const HANDLE event = s->event; // read first: once woken, the sleeper may be gone
        InterlockedExchange(&s->woken, 1);
        if (event != nullptr) {
            SetEvent(event);
        }
    }
    Release(q);
}

// --- Mutexes: 0 (or the library's initial -1) free, 1 held, 2 held with sleepers -------

constexpr intptr_t kFree = 0, kHeld = 1, kContended = 2;

bool IsFree(intptr_t state) {
    return state == kFree || state == PTHREAD_MUTEX_INITIALIZER;
}

bool TryTake(volatile intptr_t* m) {
    intptr_t expected = kFree;
    if (__atomic_compare_exchange_n(m, &expected, kHeld, false, __ATOMIC_ACQUIRE,
                                    __ATOMIC_RELAXED)) {
        return true;
    }
    expected = PTHREAD_MUTEX_INITIALIZER;
    return __atomic_compare_exchange_n(m, &expected, kHeld, false, __ATOMIC_ACQUIRE,
                                       __ATOMIC_RELAXED);
}

// Only the plain kind: the recursive and error-checking initial values are refused.
bool IsPlain(intptr_t state) {
    return state >= kFree || state == PTHREAD_MUTEX_INITIALIZER;
}

void TakeContended(volatile intptr_t* m) {
    while (!IsFree(__atomic_exchange_n(m, kContended, __ATOMIC_ACQUIRE))) {
        WaitWhile(m, kContended);
    }
}

// --- Threads --------------------------------------------------------------------------

struct Thread {
    void* (*run)(void*);
    void* argument;
    void* result;
    HANDLE handle;
    volatile LONG owners; // the thread itself, and whoever joins or detaches it
};

void Drop(Thread* t) {
    if (InterlockedDecrement(&t->owners) == 0) {
        free(t);
    }
}

unsigned __stdcall Enter(void* started) {
    Thread* t = static_cast<Thread*>(started);
    t->result = t->run(t->argument);
    if (g_eventSlot >= 0) {
        if (HANDLE event = TlsGetValue(DWORD(g_eventSlot))) {
            CloseHandle(event);
        }
    }
    Drop(t);
    return 0;
}

} // namespace

extern "C" {

int pthread_mutex_init(pthread_mutex_t* m, const pthread_mutexattr_t* attributes) {
    if (attributes != nullptr && *attributes != 0) {
        return EINVAL; // only the plain kind is made here
    }
    *m = kFree;
    return 0;
}

int pthread_mutex_destroy(pthread_mutex_t*) {
    return 0;
}

int pthread_mutex_lock(pthread_mutex_t* m) {
    if (TryTake(m)) {
        return 0;
    }
    if (!IsPlain(*m)) {
        return EINVAL;
    }
    for (int spin = 0; spin < 64; ++spin) { // locks here are held briefly
        YieldProcessor();
        if (TryTake(m)) {
            return 0;
        }
    }
    TakeContended(m);
    return 0;
}

int pthread_mutex_trylock(pthread_mutex_t* m) {
    if (TryTake(m)) {
        return 0;
    }
    return IsPlain(*m) ? EBUSY : EINVAL;
}

int pthread_mutex_unlock(pthread_mutex_t* m) {
    if (__atomic_exchange_n(m, kFree, __ATOMIC_RELEASE) == kContended) {
        Wake(m, 1);
    }
    return 0;
}

// A condition variable is a count of signals: a waiter sleeps while it is what it read
// before giving up the mutex, so a signal between the two is not lost.
int pthread_cond_init(pthread_cond_t* c, const pthread_condattr_t*) {
    *c = 0;
    return 0;
}

int pthread_cond_destroy(pthread_cond_t*) {
    return 0;
}

int pthread_cond_wait(pthread_cond_t* c, pthread_mutex_t* m) {
    const intptr_t seen = __atomic_load_n(c, __ATOMIC_SEQ_CST);
    pthread_mutex_unlock(m);
    WaitWhile(c, seen);
    TakeContended(m); // others may sleep on it too: the unlock must wake them
    return 0;
}

int pthread_cond_signal(pthread_cond_t* c) {
    __atomic_add_fetch(c, 1, __ATOMIC_SEQ_CST);
    Wake(c, 1);
    return 0;
}

int pthread_cond_broadcast(pthread_cond_t* c) {
    __atomic_add_fetch(c, 1, __ATOMIC_SEQ_CST);
    Wake(c, 0x7FFFFFFF);
    return 0;
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*run)(void*),
                   void* argument) {
    if (attributes != nullptr) {
        return EINVAL; // the library's attributes are not made here
    }
    Thread* t = static_cast<Thread*>(malloc(sizeof(Thread)));
    if (t == nullptr) {
        return EAGAIN;
    }
    *t = Thread{run, argument, nullptr, nullptr, 2};
    // The C runtime's own start, so that its per-thread state is made and freed.
    const uintptr_t handle = _beginthreadex(nullptr, 0, Enter, t, 0, nullptr);
    if (handle == 0) {
        free(t);
        return EAGAIN;
    }
    t->handle = reinterpret_cast<HANDLE>(handle); // only the joiner or detacher reads it
    *thread = reinterpret_cast<pthread_t>(t);
    return 0;
}

int pthread_join(pthread_t thread, void** result) {
    Thread* t = reinterpret_cast<Thread*>(thread);
    if (WaitForSingleObject(t->handle, INFINITE) != WAIT_OBJECT_0) {
        return EINVAL;
    }
    CloseHandle(t->handle);
    if (result != nullptr) {
        *result = t->result;
    }
    Drop(t);
    return 0;
}

int pthread_detach(pthread_t thread) {
    Thread* t = reinterpret_cast<Thread*>(thread);
    CloseHandle(t->handle);
    Drop(t);
    return 0;
}

// The processors this process may run on, as the library counts them.
int pthread_num_processors_np(void) {
    DWORD_PTR process = 0, system = 0;
    int count = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
        for (; process != 0; process &= process - 1) {
            ++count;
        }
    }
    return count > 0 ? count : 1;
}

int pthread_once(pthread_once_t* once, void (*run)(void)) {
    // 0 not yet, 1 under way on some thread, 2 done.
    if (InterlockedCompareExchange(once, 1, 0) == 0) {
        run();
        InterlockedExchange(once, 2);
        return 0;
    }
    for (int round = 0; InterlockedCompareExchange(once, 2, 2) != 2;) {
        Pause(round);
    }
    return 0;
}

// Thread-specific values without destructors (nothing we ship asks for one; a key with one
// is refused rather than its destructor silently never run).
int pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
    if (destructor != nullptr) {
        return EAGAIN;
    }
    const DWORD slot = TlsAlloc();
    if (slot == TLS_OUT_OF_INDEXES) {
        return EAGAIN;
    }
    *key = slot;
    return 0;
}

int pthread_key_delete(pthread_key_t key) {
    return TlsFree(key) ? 0 : EINVAL;
}

void* pthread_getspecific(pthread_key_t key) {
    return TlsGetValue(key);
}

int pthread_setspecific(pthread_key_t key, const void* value) {
    return TlsSetValue(key, const_cast<void*>(value)) ? 0 : EINVAL;
}

int sched_yield(void) {
    Sleep(0);
    return 0;
}

int nanosleep(const struct timespec* request, struct timespec* remain) {
    if (request->tv_sec < 0 || request->tv_nsec < 0 || request->tv_nsec >= 1000000000L) {
        errno = EINVAL;
        return -1;
    }
    // Whole milliseconds, rounded up: never shorter than asked.
    unsigned long long ms = (unsigned long long)request->tv_sec * 1000u +
                            (unsigned long long)(request->tv_nsec + 999999) / 1000000u;
    while (ms > 0) {
        const DWORD part = ms > 0x7FFFFFFFull ? 0x7FFFFFFF : DWORD(ms);
        Sleep(part);
        ms -= part;
    }
    if (remain != nullptr) {
        remain->tv_sec = 0;
        remain->tv_nsec = 0;
    }
    return 0;
}

// The wall clock (to the system's finest grain where Windows 8 and later give it) and a
// steady one; the library's clocks ask for nothing else.
int clock_gettime(clockid_t clock, struct timespec* now) {
    if (clock == CLOCK_REALTIME) {
        using Precise = void(WINAPI*)(FILETIME*);
        // Looked up once; threads racing to it find the same address.
        static volatile LONG looked = 0;
        static Precise precise = nullptr;
        if (InterlockedCompareExchange(&looked, 0, 0) == 0) {
            precise = reinterpret_cast<Precise>(reinterpret_cast<void*>(GetProcAddress(
                GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
            InterlockedExchange(&looked, 1);
        }
        FILETIME ft;
        if (precise != nullptr) {
            precise(&ft);
        } else {
            GetSystemTimeAsFileTime(&ft);
        }
        // 100 ns units since 1601 to the Unix epoch's seconds and nanoseconds.
        const unsigned long long units =
            ((unsigned long long)ft.dwHighDateTime << 32 | ft.dwLowDateTime) -
            116444736000000000ull;
        now->tv_sec = time_t(units / 10000000u);
        now->tv_nsec = long(units % 10000000u) * 100;
        return 0;
    }
    if (clock == CLOCK_MONOTONIC) {
        LARGE_INTEGER count, frequency;
        if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 &&
            QueryPerformanceCounter(&count)) {
            const unsigned long long c = count.QuadPart, f = frequency.QuadPart;
            now->tv_sec = time_t(c / f);
            now->tv_nsec = long((c % f) * 1000000000ull / f);
        } else {
            const ULONGLONG ms = GetTickCount(); // wraps after 49 days: only without a counter
            now->tv_sec = time_t(ms / 1000);
            now->tv_nsec = long(ms % 1000) * 1000000;
        }
        return 0;
    }
    errno = EINVAL;
    return -1;
}

} // extern "C"
