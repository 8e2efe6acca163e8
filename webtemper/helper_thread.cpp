#include "helper_thread.h"

#include <atomic>
#include <pthread.h>

// Jobs handed to the helper and jobs it has finished, counted; the caller
// writes the first, the helper the second.
static std::atomic<unsigned> jobs_posted;
static std::atomic<unsigned> jobs_done;
// The job last posted; read by the helper once jobs_posted says it is there.
static void (*pending)(void *);
static void *pending_job;

// For sleeping once spinning has gone on too long.
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t counted = PTHREAD_COND_INITIALIZER;

// How long a thread spins for the other before it sleeps: longer than the
// pause between two steps when the layout runs flat out, so that the
// helper is awake when the next step comes, and short beside the 20 ms
// between steps in the running program, so that it then costs little.
constexpr int SPIN_ROUNDS = 4000; // pause instructions, about 100 µs

enum { HELPER_NONE, HELPER_RUNNING, HELPER_FAILED };
static int helper_state = HELPER_NONE;

static inline void relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

static void wait_for_count(const std::atomic<unsigned> &counter, unsigned count)
{
    for (int round = 0; round < SPIN_ROUNDS; round++) {
        if (counter.load(std::memory_order_acquire) == count)
            return;
        relax();
    }
    pthread_mutex_lock(&lock);
    while (counter.load(std::memory_order_acquire) != count)
        pthread_cond_wait(&counted, &lock);
    pthread_mutex_unlock(&lock);
}

// Counting under the lock keeps a thread that is about to sleep from
// missing the wake-up.
static void count_one(std::atomic<unsigned> &counter)
{
    pthread_mutex_lock(&lock);
    counter.fetch_add(1, std::memory_order_release);
    pthread_cond_broadcast(&counted);
    pthread_mutex_unlock(&lock);
}

static void *helper_main(void *)
{
    for (unsigned taken = jobs_done.load();; taken++) {
        wait_for_count(jobs_posted, taken + 1);
        pending(pending_job);
        count_one(jobs_done);
    }
    return nullptr;
}

// A forked child has no helper, and the lock may have been held by it.
static void forget_helper()
{
    lock = PTHREAD_MUTEX_INITIALIZER;
    counted = PTHREAD_COND_INITIALIZER;
    jobs_posted.store(0);
    jobs_done.store(0);
    helper_state = HELPER_NONE;
}

static bool helper_ready()
{
    static bool fork_handled;
    if (!fork_handled)
        fork_handled = pthread_atfork(nullptr, nullptr, forget_helper) == 0;
    if (helper_state == HELPER_NONE) {
        pthread_t helper;
        helper_state = HELPER_FAILED;
        if (fork_handled && pthread_create(&helper, nullptr, helper_main, nullptr) == 0) {
            pthread_detach(helper);
            helper_state = HELPER_RUNNING;
        }
    }
    return helper_state == HELPER_RUNNING;
}

void run_beside(void (*first)(void *), void (*second)(void *), void *job)
{
    if (!helper_ready()) {
        first(job);
        second(job);
        return;
    }
    pending = second;
    pending_job = job;
    count_one(jobs_posted);
    first(job);
    wait_for_count(jobs_done, jobs_posted.load(std::memory_order_relaxed));
}
