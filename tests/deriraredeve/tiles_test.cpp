#include "tiles.h"

#include "gl_recorder.h"
#include "test_support.h"
#include "tiling_fixture.h"
#include "vector.h"

#include <GL/gl.h>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>

using colour = std::vector<double>;
static const colour DARK_RED = {0.5f, 0.1f, 0.1f}, BLUE = {0.2f, 0.2f, 0.9f},
                    DARK_GREY = {0.2f, 0.2f, 0.2f}, LIGHT_GREY = {0.7f, 0.7f, 0.7f};

// One frame in the given mode, recorded.
static void draw_frame(qc_state *qc, unsigned mode, unsigned color_by_type)
{
    gl_reset();
    qc->draw_mode = mode;
    qc->color_by_type = color_by_type;
    do_draw(qc);
}

// The parity of each vertex of the frame (of its lattice coordinates' sum),
// keyed by where it is drawn.
using vertex_parity = std::map<std::pair<double, double>, unsigned>;
static vertex_parity vertex_parities(qc_state *qc)
{
    int origin[5] = {0, 0, 0, 0, 0};
    recurse(qc, origin, WALK_DEPTH);
    vertex_parity parity;
    for (const std::vector<int> &point : visited_points(qc)) {
        double base[5], drawn[5];
        for (int k = 0; k < 5; k++)
            base[k] = point[k] + qc->offset[k];
        rotate_point(5, drawn, base, qc->matrix);
        int sum = point[0] + point[1] + point[2] + point[3] + point[4];
        parity[{drawn[0], drawn[1]}] = unsigned(sum) & 1;
    }
    unsee_vertices(qc);
    return parity;
}

// The next recorded call, which must be named name; returns its arguments.
// Any other call ends the test, since the calls after it cannot be read.
static std::vector<double> next_call(size_t *i, const char *name)
{
    if (*i >= gl_calls.size() || gl_calls[*i].name != name)
        throw std::runtime_error("call " + std::to_string(*i) + " is not " + name);
    return gl_calls[(*i)++].args;
}

static std::vector<double> corner(const drawn_rhombus &r, int k)
{
    return {r.x[k], r.y[k]};
}

// The ellipse's matrix takes the unit circle's centre to the rhombus centre,
// the midpoint of A and C, and its points (-1, 0), (1, 0), (0, -1), (0, 1)
// to A, C, B, D, leaving z alone.
static void expect_ellipse_on(const std::vector<double> &m, const drawn_rhombus &r)
{
    const double u[5] = {0, -1, 1, 0, 0}, v[5] = {0, 0, 0, -1, 1};
    const double to_x[5] = {(r.x[0] + r.x[2]) / 2, r.x[0], r.x[2], r.x[1], r.x[3]};
    const double to_y[5] = {(r.y[0] + r.y[2]) / 2, r.y[0], r.y[2], r.y[1], r.y[3]};
    for (int k = 0; k < 5; k++) {
        EXPECT_TRUE(is_near(to_x[k], m[0] * u[k] + m[4] * v[k] + m[12], 1e-12)) << k;
        EXPECT_TRUE(is_near(to_y[k], m[1] * u[k] + m[5] * v[k] + m[13], 1e-12)) << k;
    }
    EXPECT_EQ((std::vector<double>{m[2], m[3], m[6], m[7], m[8], m[9], m[10], m[11], m[14], m[15]}),
              (std::vector<double>{0, 0, 0, 0, 0, 0, 1, 0, 0, 1}));
}

// Reads the tile drawn from call *i on in an ellipse or diagonal mode, which
// must sit on the solid frame's rhombus r; returns the colours it sets.
static std::vector<colour> read_tile(unsigned mode, size_t *i, const drawn_rhombus &r,
                                     unsigned circle_list)
{
    std::vector<colour> colours;
    if (mode == DRAW_ELLIPSE) {
        next_call(i, "glPushMatrix");
        expect_ellipse_on(next_call(i, "glMultMatrixd"), r);
        colours.push_back(next_call(i, "glColor3f"));
        EXPECT_EQ(next_call(i, "glCallList"), std::vector<double>{double(circle_list)});
        next_call(i, "glPopMatrix");
        return colours;
    }
    if (mode == DRAW_DUAL_PCOLOR)
        colours.push_back(next_call(i, "glColor3f"));
    EXPECT_EQ(next_call(i, "glBegin"), std::vector<double>{GL_LINES});
    // The diagonals A-C and B-D, with their own colours in the parity mode.
    for (int k : {0, 2, 1, 3}) {
        if (mode == DRAW_DUAL_VCOLOR && k < 2)
            colours.push_back(next_call(i, "glColor3f"));
        EXPECT_EQ(next_call(i, "glVertex2d"), corner(r, k));
    }
    next_call(i, "glEnd");
    return colours;
}

// The colours of a tile on rhombus r: in the parity mode the diagonal
// through the base corner A in its parity's colour (0 dark red, 1 blue) and
// B-D in the other; else blue for thin and dark red for thick rhombi when
// coloured by type, grey when not.
static std::vector<colour> expected_colours(unsigned mode, unsigned by_type,
                                            const drawn_rhombus &r, const vertex_parity &parity)
{
    if (mode == DRAW_DUAL_VCOLOR) {
        bool odd = parity.at({r.x[0], r.y[0]});
        return {odd ? BLUE : DARK_RED, odd ? DARK_RED : BLUE};
    }
    if (by_type)
        return {thin_by_angle(r) ? BLUE : DARK_RED};
    return {mode == DRAW_SOLID ? DARK_GREY : LIGHT_GREY};
}

TEST(tile_drawing, every_mode_draws_each_rhombus_in_place_in_its_colours)
{
    qc_state qc = fresh_tiling();
    vertex_parity parity = vertex_parities(&qc);
    int tiles = 0, thin = 0, odd = 0;
    for (unsigned by_type : {0u, 1u}) {
        draw_frame(&qc, DRAW_SOLID, by_type);
        std::vector<drawn_rhombus> rhombi = recorded_solid_rhombi();
        ASSERT_GT(rhombi.size(), 900u);
        for (const drawn_rhombus &r : rhombi) {
            EXPECT_EQ(std::vector<colour>{colour(r.fill, r.fill + 3)},
                      expected_colours(DRAW_SOLID, by_type, r, parity));
            tiles++;
            thin += thin_by_angle(r);
            odd += parity.at({r.x[0], r.y[0]});
        }
        // The same rhombi, in the same order, in every other mode.
        for (unsigned mode : {DRAW_ELLIPSE, DRAW_DUAL_VCOLOR, DRAW_DUAL_PCOLOR}) {
            draw_frame(&qc, mode, by_type);
            size_t i = 4;
            for (const drawn_rhombus &r : rhombi)
                EXPECT_EQ(read_tile(mode, &i, r, qc.circle_list),
                          expected_colours(mode, by_type, r, parity));
            EXPECT_EQ(i + 1, gl_calls.size()) << "mode " << mode;
        }
    }
    // Both types and both parities were seen.
    EXPECT_TRUE(thin > 0 && thin < tiles && odd > 0 && odd < tiles);
    release_tiling(&qc);
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
