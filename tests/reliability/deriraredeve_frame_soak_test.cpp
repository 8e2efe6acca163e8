// Frames in every drawing mode and colouring, as a tiling left running for
// hours draws them: each frame must issue exactly the calls of the first and
// leave the visited set empty. The first frame sizes the visited set; after
// it no frame may allocate, and the memory in use must not grow. The number
// of frames comes from DERIRAREDEVE_SOAK_FRAMES (default 20).
#include "gl_recorder.h"
#include "tiling_fixture.h"
#include "walk.h"

#include <algorithm>
#include <cstdlib>
#include <malloc.h>
#include <tuple>
#include <vector>

#ifdef __SANITIZE_ADDRESS__
// From the sanitizer runtime: bytes its allocator has handed out and not
// had back.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

constexpr long DEFAULT_FRAMES = 20;
// The C library's allocator counts the few freed blocks it caches per
// thread as in use, so the count wobbles by some bytes from frame to frame.
constexpr size_t HEAP_WOBBLE = 4096;  // bytes

// Linked with --wrap=malloc: every malloc of the statically linked program
// code is counted here, the same way in every build.
extern "C" void *__real_malloc(size_t size);
static long mallocs_seen;
extern "C" void *__wrap_malloc(size_t size)
{
    mallocs_seen++;
    return __real_malloc(size);
}

// Bytes held on the heap, allocated any way. The sanitizer build replaces
// the C library's allocator, whose own count then stays at zero.
static size_t heap_in_use()
{
#ifdef __SANITIZE_ADDRESS__
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

static long soak_frames()
{
    const char *text = getenv("DERIRAREDEVE_SOAK_FRAMES");
    return text != nullptr ? atol(text) : DEFAULT_FRAMES;
}

// Success, or the first call in which the two frames differ.
static ::testing::AssertionResult same_calls(const std::vector<gl_call> &expected,
                                             const std::vector<gl_call> &actual)
{
    size_t n = std::min(expected.size(), actual.size());
    for (size_t i = 0; i < n; i++)
        if (expected[i].name != actual[i].name || expected[i].args != actual[i].args)
            return ::testing::AssertionFailure() << "call " << i << " is " << actual[i].name
                                                 << ", was " << expected[i].name;
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure() << actual.size() << " calls, was " << expected.size();
    return ::testing::AssertionSuccess();
}

struct frame_soak : ::testing::TestWithParam<std::tuple<unsigned, unsigned>> {};

TEST_P(frame_soak, every_frame_repeats_the_first_without_allocating)
{
    qc_state qc = fresh_tiling();
    qc.draw_mode = std::get<0>(GetParam());
    qc.color_by_type = std::get<1>(GetParam());
    mallocs_seen = 0;
    do_draw(&qc);
    EXPECT_GT(mallocs_seen, 0) << "the first frame sizes the visited set";
    const std::vector<gl_call> first = gl_calls;
    ASSERT_GT(first.size(), 1000u) << "the frame draws a tiling";
    size_t heap_after_first = 0;
    long frames = soak_frames();
    for (long frame = 1; frame < frames; frame++) {
        gl_reset();
        mallocs_seen = 0;
        do_draw(&qc);
        ASSERT_EQ(mallocs_seen, 0) << "frame " << frame;
        ASSERT_EQ(visited_count(&qc), 0) << "frame " << frame;
        ASSERT_TRUE(same_calls(first, gl_calls)) << "frame " << frame;
        // The first measurement holds the same recorded frame as every later one.
        if (frame == 1)
            heap_after_first = heap_in_use();
        ASSERT_LE(heap_in_use(), heap_after_first + HEAP_WOBBLE) << "frame " << frame;
    }
    gl_reset();
    release_tiling(&qc);
}

INSTANTIATE_TEST_SUITE_P(modes_and_colourings, frame_soak,
                         ::testing::Combine(::testing::Values(DRAW_SOLID, DRAW_ELLIPSE,
                                                              DRAW_DUAL_VCOLOR, DRAW_DUAL_PCOLOR),
                                            ::testing::Values(0u, 1u)));
