#include "render.h"

#include "graph.h"
#include "startup_check.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>
#include <initializer_list>
#include <type_traits>

static_assert(std::is_same<GLuint, unsigned>::value, "circle_list holds a GL list name");

unsigned circle_list = 0;

constexpr int CIRCLE_POINTS = 30;
constexpr float VERTEX_RADIUS = 0.05f;     // layout units; edges stop here
constexpr float BOUNDARY_MARGIN = 0.05f;   // layout units outside bbox
constexpr float SCALE_MARGIN = 0.05f;      // layout units, in the fit ratios
constexpr float DRAWING_SCALE = 0.9f;      // of the fitted size
constexpr float BOUNDARY_GREY = 0.3f;
// The picture's shape, that of bbox: 4 wide to 3 high.
constexpr int SHAPE_WIDTH = 4;
constexpr int SHAPE_HEIGHT = 3;

void setup_circle_list()
{
    circle_list = glGenLists(1);
    STARTUP_CHECK(circle_list != 0, "circle_list != 0");
    glNewList(circle_list, GL_COMPILE);
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < CIRCLE_POINTS; i++) {
        float angle = static_cast<float>(i * 2 * M_PI / CIRCLE_POINTS);
        glVertex2f(cosf(angle) * VERTEX_RADIUS, sinf(angle) * VERTEX_RADIUS);
    }
    glEnd();
    glEndList();
}

// The picture keeps its 4:3 shape on any screen: as tall as the screen (as
// wide, on a screen taller than 4:3) and centred. glClear ignores the
// viewport, so every frame's clear keeps the bars around it black.
static void fit_viewport(int width, int height)
{
    int view_width = width;
    int view_height = height;
    if (width * SHAPE_HEIGHT > height * SHAPE_WIDTH)
        view_width = height * SHAPE_WIDTH / SHAPE_HEIGHT;
    else
        view_height = width * SHAPE_HEIGHT / SHAPE_WIDTH;
    glViewport((width - view_width) / 2, (height - view_height) / 2, view_width, view_height);
}

void setup_view(int width, int height)
{
    fit_viewport(width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(bbox.xmin, bbox.xmax, bbox.ymin, bbox.ymax);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (GLenum feature : {GL_LIGHTING, GL_TEXTURE_2D, GL_TEXTURE_1D, GL_ALPHA_TEST,
                           GL_DEPTH_TEST, GL_CULL_FACE})
        glDisable(feature);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClearColor(0, 0, 0, 0);
}

void draw_graph()
{
    glPushMatrix();
    // Shrinks the drawing towards the centre so the outline stays in view.
    float w = bbox.xmax - bbox.xmin;
    float h = bbox.ymax - bbox.ymin;
    float s = fminf(w / (w + SCALE_MARGIN), h / (h + SCALE_MARGIN)) * DRAWING_SCALE;
    glScalef(s, s, 1);
    draw_boundary();
    draw_edges();
    draw_vertices();
    glPopMatrix();
}

void draw_boundary()
{
    float left = bbox.xmin - BOUNDARY_MARGIN, right = bbox.xmax + BOUNDARY_MARGIN;
    float bottom = bbox.ymin - BOUNDARY_MARGIN, top = bbox.ymax + BOUNDARY_MARGIN;
    glColor4f(BOUNDARY_GREY, BOUNDARY_GREY, BOUNDARY_GREY, 1);
    glBegin(GL_LINE_LOOP);
    glVertex2f(left, bottom);
    glVertex2f(left, top);
    glVertex2f(right, top);
    glVertex2f(right, bottom);
    glEnd();
}

// One end of an edge: the vertex's colour at the lower of the two alphas.
static void edge_end(const vertex *v, float edge_alpha, float x, float y)
{
    const float color[4] = {v->r, v->g, v->b, fminf(v->alpha, edge_alpha)};
    glColor4fv(color);
    glVertex2f(x, y);
}

void draw_edges()
{
    glBegin(GL_LINES);
    for (const edge *e = first_edge; e != nullptr; e = e->next) {
        const vertex *a = e->a, *b = e->b;
        float dx = b->x - a->x;
        float dy = b->y - a->y;
        // Each end stops on its vertex circle.
        float t = VERTEX_RADIUS / hypotf(dx, dy);
        // Ends at (nearly) the same place have no direction: draw nothing
        // rather than hand the GL undefined points.
        if (!std::isfinite(t))
            continue;
        edge_end(a, e->alpha, a->x + dx * t, a->y + dy * t);
        edge_end(b, e->alpha, b->x - dx * t, b->y - dy * t);
    }
    glEnd();
}

void draw_vertices()
{
    for (const vertex *v = first_vertex; v != nullptr; v = v->next) {
        glPushMatrix();
        glTranslatef(v->x, v->y, 0);
        glColor4fv(&v->r);
        glCallList(circle_list);
        glPopMatrix();
    }
}
