#include "tiles.h"

#include "gl_recorder.h"
#include "test_support.h"
#include "tiling_fixture.h"
#include "vector.h"

#include <GL/gl.h>
#include <cmath>

static const std::vector<double> DARK_RED = {0.5f, 0.1f, 0.1f}, BLUE = {0.2f, 0.2f, 0.9f},
                                 DARK_GREY = {0.2f, 0.2f, 0.2f}, LIGHT_GREY = {0.7f, 0.7f, 0.7f};

// One frame in the given mode, recorded.
static void draw_frame(unsigned mode, unsigned color_by_type)
{
    qc_state qc = fresh_tiling();
    qc.draw_mode = mode;
    qc.color_by_type = color_by_type;
    do_draw(&qc);
    release_tiling(&qc);
}

// The body of the frame: everything between the prologue and the final pop.
static std::vector<gl_call> frame_body()
{
    return std::vector<gl_call>(gl_calls.begin() + 4, gl_calls.end() - 1);
}

static bool same_calls(const std::vector<gl_call> &a, const std::vector<gl_call> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        if (a[i].name != b[i].name || a[i].args != b[i].args)
            return false;
    }
    return true;
}

TEST(tile_drawing, solid_grey_rhombi_with_white_outlines)
{
    draw_frame(DRAW_SOLID, 0);
    std::vector<drawn_rhombus> rhombi = recorded_solid_rhombi();
    ASSERT_GT(rhombi.size(), 900u);
    for (const drawn_rhombus &r : rhombi)
        EXPECT_EQ(std::vector<double>(r.fill, r.fill + 3), DARK_GREY);
}

TEST(tile_drawing, solid_by_type_thin_blue_thick_red)
{
    draw_frame(DRAW_SOLID, 1);
    std::vector<drawn_rhombus> rhombi = recorded_solid_rhombi();
    ASSERT_GT(rhombi.size(), 900u);
    for (const drawn_rhombus &r : rhombi)
        EXPECT_EQ(std::vector<double>(r.fill, r.fill + 3), thin_by_angle(r) ? BLUE : DARK_RED);
}

// Checks one ellipse draw at position i; returns its colour.
static std::vector<double> check_ellipse(size_t i, unsigned circle_list)
{
    const std::vector<gl_call> &c = gl_calls;
    EXPECT_EQ(c[i].name, "glPushMatrix");
    EXPECT_EQ(c[i + 1].name, "glMultMatrixd");
    EXPECT_EQ(c[i + 2].name, "glColor3f");
    EXPECT_EQ(c[i + 3].name, "glCallList");
    EXPECT_EQ(c[i + 3].args[0], circle_list);
    EXPECT_EQ(c[i + 4].name, "glPopMatrix");
    // The circle's points (+-1, 0) and (0, +-1) land on the rhombus corners
    // C, A, D, B: consecutive ones are one side, sqrt(0.4), apart.
    const std::vector<double> &m = c[i + 1].args;
    double side_ab = hypot(m[4] - m[0], m[5] - m[1]);
    double side_ad = hypot(m[4] + m[0], m[5] + m[1]);
    EXPECT_TRUE(is_near(sqrt(0.4), side_ab, 1e-12));
    EXPECT_TRUE(is_near(sqrt(0.4), side_ad, 1e-12));
    EXPECT_EQ(m[10], 1);
    EXPECT_EQ(m[15], 1);
    return c[i + 2].args;
}

TEST(tile_drawing, ellipse_mode_maps_the_circle_list_onto_each_rhombus)
{
    for (unsigned by_type : {0u, 1u}) {
        draw_frame(DRAW_ELLIPSE, by_type);
        std::vector<gl_call> body = frame_body();
        ASSERT_EQ(body.size() % 5, 0u);
        int red = 0, blue = 0;
        for (size_t i = 4; i + 1 < gl_calls.size(); i += 5) {
            std::vector<double> color = check_ellipse(i, 1);
            if (!by_type) {
                EXPECT_EQ(color, LIGHT_GREY);
            }
            red += color == DARK_RED;
            blue += color == BLUE;
        }
        if (by_type) {
            EXPECT_GT(red, blue);
            EXPECT_GT(blue, 0);
        }
    }
}

// Checks GL_LINES with two diagonals at position i of the body: they share
// their midpoint. Returns the index after the glEnd.
static size_t check_diagonals(const std::vector<gl_call> &c, size_t i, bool two_colours)
{
    EXPECT_EQ(c[i].name, two_colours ? "glBegin" : "glColor3f");
    EXPECT_EQ(c[i + 1].name, two_colours ? "glColor3f" : "glBegin");
    size_t v = i + 2;
    std::vector<double> ends[4];
    for (int k = 0; k < 4; k++) {
        if (two_colours && k == 2) {
            EXPECT_EQ(c[v++].name, "glColor3f");
        }
        EXPECT_EQ(c[v].name, "glVertex2d");
        ends[k] = c[v++].args;
    }
    for (int axis = 0; axis < 2; axis++)
        EXPECT_TRUE(is_near(ends[0][axis] + ends[1][axis], ends[2][axis] + ends[3][axis], 1e-12));
    EXPECT_EQ(c[v].name, "glEnd");
    return v + 1;
}

TEST(tile_drawing, dual_pcolor_draws_both_diagonals_in_one_colour)
{
    for (unsigned by_type : {0u, 1u}) {
        draw_frame(DRAW_DUAL_PCOLOR, by_type);
        std::vector<gl_call> body = frame_body();
        size_t tiles = 0;
        for (size_t i = 0; i < body.size(); tiles++) {
            if (!by_type) {
                EXPECT_EQ(body[i].args, LIGHT_GREY);
            }
            i = check_diagonals(body, i, false);
        }
        EXPECT_GT(tiles, 900u);
    }
}

TEST(tile_drawing, dual_vcolor_colours_diagonals_by_parity_either_way)
{
    draw_frame(DRAW_DUAL_VCOLOR, 0);
    std::vector<gl_call> plain = gl_calls;
    std::vector<gl_call> body = frame_body();
    int parity_one = 0;
    for (size_t i = 0; i < body.size();) {
        const std::vector<double> &first = body[i + 1].args, &second = body[i + 4].args;
        EXPECT_TRUE((first == DARK_RED && second == BLUE) || (first == BLUE && second == DARK_RED));
        parity_one += first == BLUE;
        i = check_diagonals(body, i, true);
    }
    EXPECT_GT(parity_one, 0);
    draw_frame(DRAW_DUAL_VCOLOR, 1);
    EXPECT_TRUE(same_calls(plain, gl_calls));
}

TEST(tile_drawing, all_modes_draw_the_same_rhombi_in_the_same_order)
{
    // The A-C diagonal of every mode is the same sequence of point pairs.
    draw_frame(DRAW_SOLID, 0);
    std::vector<drawn_rhombus> rhombi = recorded_solid_rhombi();
    draw_frame(DRAW_DUAL_PCOLOR, 0);
    std::vector<gl_call> vertices = gl_calls_named("glVertex2d");
    ASSERT_EQ(vertices.size(), 4 * rhombi.size());
    for (size_t t = 0; t < rhombi.size(); t++) {
        EXPECT_EQ(vertices[4 * t].args, (std::vector<double>{rhombi[t].x[0], rhombi[t].y[0]}));
        EXPECT_EQ(vertices[4 * t + 1].args, (std::vector<double>{rhombi[t].x[2], rhombi[t].y[2]}));
    }
}

TEST(maybe_draw_tile, first_corner_outside_stops_before_the_others_are_projected)
{
    qc_state qc = fresh_tiling();
    double scratch[25] = {};
    tile_corners corners = {scratch, scratch + 5, scratch + 10, scratch + 15, scratch + 20};
    corners.corner_i[0] = 40;  // far outside the window
    corners.corner_j[1] = 7;
    corners.corner_ij[2] = 9;
    int point[5] = {0, 0, 0, 0, 0};
    maybe_draw_tile(&qc, 0, 1, point, &corners);
    EXPECT_TRUE(gl_calls.empty());
    EXPECT_EQ(corners.corner_j[1], 7);
    EXPECT_EQ(corners.corner_ij[2], 9);
    EXPECT_NE(corners.corner_i[0], 40);
    release_tiling(&qc);
}

TEST(set_color_from_parity, four_codes)
{
    gl_reset();
    for (unsigned code = 0; code < 4; code++)
        set_color_from_parity(nullptr, code);
    ASSERT_EQ(gl_calls.size(), 4u);
    EXPECT_EQ(gl_calls[0].args, DARK_RED);
    EXPECT_EQ(gl_calls[1].args, BLUE);
    EXPECT_EQ(gl_calls[2].args, DARK_GREY);
    EXPECT_EQ(gl_calls[3].args, LIGHT_GREY);
}
