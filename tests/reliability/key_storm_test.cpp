// The real binaries under a storm of random keys: keys of their tables and
// others, with and without shift, in fast batches and held through the key
// repeat delay, and never q. Afterwards each must still draw what its keys
// ask for and quit cleanly on q. The number of keys comes from
// KEY_STORM_KEYS (default 3,000), so a long storm is one variable away.
#include "webtemper_summary.h"
#include "xvfb_session.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

constexpr long DEFAULT_KEYS = 3000;
constexpr int BATCH_KEYS = 250;      // keys per xdotool run
constexpr int KEY_DELAY = 2;         // ms between keys of a batch
constexpr int HOLD_EVERY = 300;      // keys between two held keys, on average
constexpr int BATCHES_PER_MIX = 2;   // batches before the next mix of keys
constexpr double HOLD_SECONDS = 0.7; // past the 500 ms repeat delay
constexpr double CATCH_UP = 60;      // seconds for a slow build to drain the keys

static long storm_keys()
{
    const char *text = getenv("KEY_STORM_KEYS");
    return text != nullptr ? atol(text) : DEFAULT_KEYS;
}

// A random source of the test's own, so the programs' keys repeat per seed.
struct key_source {
    unsigned short state[3];
};

static const std::string &pick(key_source *source, const std::vector<std::string> &names)
{
    return names[nrand48(source->state) % names.size()];
}

// One key of the storm: a name from the list, shifted one time in four.
static std::string random_key(key_source *source, const std::vector<std::string> &names)
{
    std::string name = pick(source, names);
    return nrand48(source->state) % 4 == 0 ? "shift+" + name : name;
}

struct storm_fixture : xvfb_test {
    // Sends random keys in batches, now and then holding one key of
    // held_names down through the repeat delay. The batches take their keys
    // from each of the mixes in turn, BATCHES_PER_MIX batches at a time.
    void storm(const std::vector<std::vector<std::string>> &mixes,
               const std::vector<std::string> &held_names, unsigned short seed)
    {
        key_source source = {{seed, 0x5eed, 0x330e}};
        long sent = 0;
        for (long batch_number = 0, total = storm_keys(); sent < total; batch_number++) {
            const std::vector<std::string> &names =
                mixes[size_t(batch_number / BATCHES_PER_MIX) % mixes.size()];
            std::string batch = "key --delay " + std::to_string(KEY_DELAY);
            for (int i = 0; i < BATCH_KEYS && sent < total; i++, sent++)
                batch += " " + random_key(&source, names);
            run_xdotool(batch);
            if (nrand48(source.state) % HOLD_EVERY < BATCH_KEYS) {
                std::string key = random_key(&source, held_names);
                run_xdotool("keydown " + key + " sleep " + std::to_string(HOLD_SECONDS) +
                            " keyup " + key);
            }
        }
    }

    void quit_and_expect(const std::string &out)
    {
        send_keys({"q"});
        expect_clean_exit(EXIT_LIMIT, out);
    }
};

// Keys outside both tables; q and Q are left out, they would end the storm.
static const std::vector<std::string> OTHER_KEYS = {
    "z", "5", "0", "space", "Return", "Escape", "Tab", "BackSpace", "Left", "Up",
    "F1", "F5", "minus", "comma", "b",
};

static std::vector<std::string> with_other_keys(std::vector<std::string> keys)
{
    keys.insert(keys.end(), OTHER_KEYS.begin(), OTHER_KEYS.end());
    return keys;
}

TEST_F(storm_fixture, deriraredeve_draws_its_modes_after_a_storm)
{
    start_program(DERIRAREDEVE_BINARY);
    ASSERT_TRUE(wait_for_picture()) << "no picture";
    screenshot grey = settled_screenshot();
    screenshot typed = changed_by_keys({"c"});
    ASSERT_EQ(changed_by_keys({"c"}), grey);

    std::vector<std::string> table = {"1", "2", "3", "4", "c", "c"};
    storm({with_other_keys(table)}, table, 1);
    // Solid mode again, in whichever colouring the storm left: c must give
    // the other one.
    send_keys({"1"});
    screenshot first = settled_screenshot(CATCH_UP);
    screenshot second = changed_by_keys({"c"});
    EXPECT_TRUE((first == grey && second == typed) || (first == typed && second == grey))
        << "the solid frames differ from those before the storm";
    quit_and_expect("");
}

constexpr int OUTLINE_SLACK = 2;  // pixels of rounding where circles meet the outline

static bool inside(const pixel_box &inner, const pixel_box &outer)
{
    return inner.xmin >= outer.xmin - OUTLINE_SLACK && inner.xmax <= outer.xmax + OUTLINE_SLACK &&
           inner.ymin >= outer.ymin - OUTLINE_SLACK && inner.ymax <= outer.ymax + OUTLINE_SLACK;
}

TEST_F(storm_fixture, webtemper_still_draws_inside_its_outline_after_a_storm)
{
    start_program(WEBTEMPER_BINARY);
    ASSERT_TRUE(wait_for_picture()) << "no picture";
    // The empty graph: only the outline is lit.
    pixel_box outline = lit_box(settled_screenshot());

    // A mix that mostly adds and one that mostly deletes, so the graph grows
    // by a hundred vertices or so and shrinks again.
    std::vector<std::string> growing = {"a", "a", "a", "a", "a", "r", "p", "x", "space"};
    std::vector<std::string> shrinking = {"d", "shift+d", "shift+d", "shift+d", "shift+d",
                                          "shift+d", "x", "r", "space"};
    storm({with_other_keys(growing), with_other_keys(shrinking)}, {"a", "d", "x", "r", "p"}, 2);
    // Frozen or paused within seconds of the last key.
    screenshot after = settled_screenshot(CATCH_UP);
    EXPECT_TRUE(inside(lit_box(after), outline)) << "something drawn outside the outline";
    send_keys({"a", "a", "a", "a", "a"});
    EXPECT_TRUE(changes_from(after)) << "new vertices do not show";
    quit_and_expect(WEBTEMPER_SUMMARY);
}
