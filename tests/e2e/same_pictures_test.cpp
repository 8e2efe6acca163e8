// Both programs' screens after the same keys, kept as PPM files in this
// build's pictures folder and, when the build was given another build's
// folder (one for another architecture), compared with its pictures pixel
// for pixel.
#include "xvfb_session.h"

#include <cstdio>
#include <cstdlib>

// Reads back what screenshot::save_ppm wrote; empty if there is no such file.
static screenshot load_ppm(const std::string &path)
{
    screenshot shot;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr)
        return shot;
    int width = 0, height = 0, max_value = 0;
    if (fscanf(f, "P6 %d %d %d", &width, &height, &max_value) == 3 && fgetc(f) == '\n') {
        std::vector<unsigned char> rgb(size_t(width) * height * 3);
        if (fread(rgb.data(), 1, rgb.size(), f) == rgb.size()) {
            shot.width = width;
            shot.height = height;
            for (size_t i = 0; i < rgb.size(); i += 3)
                shot.pixels.push_back(uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2]);
        }
    }
    fclose(f);
    return shot;
}

struct same_pictures : xvfb_test {
    // Saves the settled screen under `name` and holds it to the reference.
    void keep_and_compare(const screenshot &shot, const std::string &name)
    {
        ASSERT_GT(shot.count_not_black(), 0u) << name;
        shot.save_ppm(PICTURES_DIR "/" + name + ".ppm");
        const std::string reference_dir = REFERENCE_PICTURES;
        if (reference_dir.empty())
            return;
        screenshot reference = load_ppm(reference_dir + "/" + name + ".ppm");
        ASSERT_EQ(reference.pixels.size(), shot.pixels.size()) << name << ": no reference picture";
        size_t differing = 0, first = 0;
        for (size_t i = shot.pixels.size(); i-- > 0;) {
            if (shot.pixels[i] != reference.pixels[i]) {
                differing++;
                first = i;
            }
        }
        EXPECT_EQ(differing, 0u) << name << ": the first at (" << first % shot.width << ", "
                                 << first / shot.width << ") is " << std::hex << shot.pixels[first]
                                 << " here and " << reference.pixels[first] << " there";
    }
};

TEST_F(same_pictures, deriraredeve_in_every_mode_grey_and_by_type)
{
    start_program(DERIRAREDEVE_BINARY);
    ASSERT_TRUE(wait_for_picture()) << "no picture";
    // Every key but the first 1 and the c of parity colouring changes the
    // picture; waiting for that change is waiting for the key to be read.
    keep_and_compare(after_keys({"1"}), "deriraredeve-1-grey");
    keep_and_compare(changed_by_keys({"c"}), "deriraredeve-1-by-type");
    for (const std::string mode : {"2", "3", "4"}) {
        keep_and_compare(changed_by_keys({"c", mode}), "deriraredeve-" + mode + "-grey");
        screenshot by_type = mode == "4" ? after_keys({"c"}) : changed_by_keys({"c"});
        keep_and_compare(by_type, "deriraredeve-" + mode + "-by-type");
    }
    send_keys({"q"});
    EXPECT_TRUE(wait_for_exit(EXIT_LIMIT));
}

TEST_F(same_pictures, webtemper_seeded_and_paused_after_edits)
{
    // The program seeds its random numbers from the clock when it starts.
    // LD_PRELOAD splits at spaces, which the build folder may have; a bare
    // name is looked up on the library path, which does not.
    setenv("LD_PRELOAD", FIXED_TIME_NAME, 1);
    setenv("LD_LIBRARY_PATH", FIXED_TIME_FOLDER, 1);
    start_program(WEBTEMPER_BINARY);
    unsetenv("LD_PRELOAD");
    unsetenv("LD_LIBRARY_PATH");
    ASSERT_TRUE(wait_for_picture()) << "no picture";
    // Paused while the graph is empty: then only the keys move anything,
    // however fast the frames come.
    send_keys({"space"});
    screenshot twelve = changed_by_keys(std::vector<std::string>(12, "a"), 10);
    keep_and_compare(twelve, "webtemper-12-vertices");
    // A random pick counts the records still fading out, so each edit waits
    // until the last one has faded: then the picks, and the picture, do not
    // depend on how many frames fell between two keys.
    for (const std::string edit : {"x", "shift+x", "shift+d", "r", "shift+r"})
        changed_by_keys({edit});
    keep_and_compare(changed_by_keys({"a"}), "webtemper-edited");
    send_keys({"q"});
    EXPECT_TRUE(wait_for_exit(EXIT_LIMIT));
}
