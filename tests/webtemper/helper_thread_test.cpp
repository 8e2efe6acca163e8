// The helper thread runs its part while the caller runs the other, the
// caller returns only when both are done, and a forked child, which has no
// helper, still gets both parts run.
#include "helper_thread.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Each part fills its own half with the round number.
struct halves {
    int round;
    int first[1000];
    int second[1000];
};

void fill_first(void *job)
{
    halves *h = static_cast<halves *>(job);
    for (int &cell : h->first)
        cell = h->round;
}

void fill_second(void *job)
{
    halves *h = static_cast<halves *>(job);
    for (int &cell : h->second)
        cell = h->round;
}

// Runs many rounds and reports whether every cell held its round on return.
bool rounds_complete(halves *h, int rounds)
{
    for (int round = 1; round <= rounds; round++) {
        h->round = round;
        run_beside(fill_first, fill_second, h);
        if (h->first[999] != round || h->second[0] != round || h->second[999] != round)
            return false;
    }
    return true;
}

} // namespace

TEST(helper_thread, both_parts_are_done_on_return)
{
    static halves h;
    EXPECT_TRUE(rounds_complete(&h, 20000));
}

TEST(helper_thread, a_forked_child_runs_both_parts_without_the_parents_helper)
{
    static halves h;
    ASSERT_TRUE(rounds_complete(&h, 10));
    child_result child = run_in_child([] {
        // A child waiting for a helper it does not have would hang.
        alarm(10);
        if (!rounds_complete(&h, 100))
            _exit(3);
    });
    ASSERT_TRUE(WIFEXITED(child.status)) << "signal " << WTERMSIG(child.status);
    EXPECT_EQ(WEXITSTATUS(child.status), 0);
    EXPECT_TRUE(rounds_complete(&h, 10));
}
