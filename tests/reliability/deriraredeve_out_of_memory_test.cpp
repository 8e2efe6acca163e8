// The tiling program when an allocation fails: at each allocation of
// start-up and of the first frame, the process must stop with its one line,
// nothing on standard output, and status 111. The test binary is linked with
// --wrap=malloc, so every malloc of the statically linked program code goes
// through __wrap_malloc below, which can fail the nth call on request.
#include "gl_recorder.h"
#include "test_support.h"
#include "tiling_fixture.h"
#include "walk.h"

#include <cstdlib>
#include <sys/wait.h>

extern "C" void *__real_malloc(size_t size);

static long mallocs_seen;    // wrapped calls since the last restart_malloc_count
static long failing_malloc;  // the call that returns null; 0 for none

extern "C" void *__wrap_malloc(size_t size)
{
    mallocs_seen++;
    if (mallocs_seen == failing_malloc)
        return nullptr;
    return __real_malloc(size);
}

// Counts mallocs from zero on; the nth of them (none for 0) will fail.
static void restart_malloc_count(long failing)
{
    mallocs_seen = 0;
    failing_malloc = failing;
}

static const char MESSAGE[] = "deriraredeve: out of memory\n";
constexpr int OUT_OF_MEMORY_STATUS = 111;

// Runs body in a child, where it makes its nth malloc fail, and checks how
// the child ends.
template <typename Body> void expect_out_of_memory_at(long n, Body body)
{
    child_result child = run_in_child(body);
    EXPECT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == OUT_OF_MEMORY_STATUS)
        << "malloc " << n << ": status " << child.status << ", stderr: " << child.err;
    EXPECT_EQ(child.err, MESSAGE) << "malloc " << n;
    EXPECT_EQ(child.out, "") << "malloc " << n;
}

TEST(deriraredeve_out_of_memory, every_start_up_allocation_stops_the_program)
{
    qc_state qc = {};
    restart_malloc_count(0);
    do_init(&qc);
    long start_up = mallocs_seen;
    release_tiling(&qc);
    // The matrix, the offset and the window bounds at least.
    ASSERT_GE(start_up, 3);
    for (long n = 1; n <= start_up; n++) {
        expect_out_of_memory_at(n, [n] {
            qc_state fresh = {};
            restart_malloc_count(n);
            do_init(&fresh);
        });
    }
}

TEST(deriraredeve_out_of_memory, allocations_of_the_first_frame_stop_the_program)
{
    // The first frame sizes the visited set; later ones allocate nothing
    // (deriraredeve_frame_soak_test).
    qc_state qc = fresh_tiling();
    restart_malloc_count(0);
    do_draw(&qc);
    long first_frame = mallocs_seen;
    gl_reset();
    release_tiling(&qc);
    ASSERT_GT(first_frame, 0);
    for (long n = 1; n <= first_frame; n++) {
        expect_out_of_memory_at(n, [n] {
            qc_state fresh = fresh_tiling();
            restart_malloc_count(n);
            do_draw(&fresh);
        });
    }
}
