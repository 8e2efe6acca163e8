#include "graph.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

vertex *first_vertex = nullptr;
int vertex_count = 0;
int fading_vertex_count = 0;
edge *first_edge = nullptr;
int edge_count = 0;
int fading_edge_count = 0;
// Widened to the screen's 4:3 shape at start-up, before any vertex exists.
rect bbox = {0, 0, -1, 1};

constexpr float PERTURB_RADIUS = 0.15f;   // layout units, per coordinate
constexpr double JOIN_CHANCE_SCALE = 3.0; // expected edges of a new vertex
constexpr double JOIN_CHANCE_MAX = 0.8;   // cap while the graph is small
constexpr double COLOR_MIN = 0.5;         // keeps colours light on black

void *graph_alloc(size_t size)
{
    void *p = malloc(size);
    if (p == nullptr) {
        static const char message[] = "webtemper: out of memory\n";
        // write(2) rather than stdio: nothing may need memory on this path.
        ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
        (void)written;
        exit(111);
    }
    return p;
}

// 64-bit so that n (n - 1) cannot overflow for any int n.
static int64_t pair_count(int64_t n)
{
    return n * (n - 1) / 2;
}

static vertex *vertex_at(long pos)
{
    vertex *v = first_vertex;
    while (pos-- > 0)
        v = v->next;
    return v;
}

static edge *edge_at(long pos)
{
    edge *e = first_edge;
    while (pos-- > 0)
        e = e->next;
    return e;
}

void randomize_position(vertex *v)
{
    float r1 = static_cast<float>(drand48());
    v->x = bbox.xmin + r1 * (bbox.xmax - bbox.xmin);
    float r2 = static_cast<float>(drand48());
    v->y = bbox.ymin + r2 * (bbox.ymax - bbox.ymin);
}

// The offset is added in double, then rounded and held inside [lo, hi].
static float perturb_coordinate(float c, float lo, float hi)
{
    double r = drand48();
    float moved = static_cast<float>(c + (2.0 * r - 1.0) * PERTURB_RADIUS);
    return fminf(hi, fmaxf(lo, moved));
}

void perturb_position(vertex *v)
{
    v->x = perturb_coordinate(v->x, bbox.xmin, bbox.xmax);
    v->y = perturb_coordinate(v->y, bbox.ymin, bbox.ymax);
}

void randomize_color(vertex *v)
{
    // Separate statements fix the draw order r, g, b.
    v->r = static_cast<float>(COLOR_MIN + (1.0 - COLOR_MIN) * drand48());
    v->g = static_cast<float>(COLOR_MIN + (1.0 - COLOR_MIN) * drand48());
    v->b = static_cast<float>(COLOR_MIN + (1.0 - COLOR_MIN) * drand48());
}

void randomize_positions()
{
    for (vertex *v = first_vertex; v != nullptr; v = v->next)
        randomize_position(v);
}

void perturb_positions()
{
    for (vertex *v = first_vertex; v != nullptr; v = v->next)
        perturb_position(v);
}

void push_vertex()
{
    vertex *v = static_cast<vertex *>(graph_alloc(sizeof *v));
    v->next = first_vertex;
    v->dx = 0;
    v->dy = 0;
    randomize_position(v);
    randomize_color(v);
    v->alpha = 0;
    v->state = FADING_IN;
    first_vertex = v;
    vertex_count++;
    fading_vertex_count++;
    add_random_edges(v);
}

void fade_vertex(vertex *v)
{
    if (v->state == STEADY)
        fading_vertex_count++;
    v->state = FADING_OUT;
}

void pop_vertex()
{
    if (first_vertex == nullptr)
        return;
    fade_vertex(first_vertex);
    delete_edges_of(first_vertex);
}

void delete_random_vertex()
{
    if (vertex_count == 0)
        return;
    vertex *v = vertex_at(lrand48() % vertex_count);
    fade_vertex(v);
    delete_edges_of(v);
}

void add_edge(vertex *a, vertex *b)
{
    edge *e = static_cast<edge *>(graph_alloc(sizeof *e));
    e->next = first_edge;
    e->a = a;
    e->b = b;
    e->alpha = 0;
    e->state = FADING_IN;
    first_edge = e;
    edge_count++;
    fading_edge_count++;
}

// A vertex fading out is never joined: the collection frees it when its own
// fade ends, and a newer edge to it would still be visible then.
void add_random_edges(vertex *v)
{
    if (v->state == FADING_OUT)
        return;
    double p = fmin(JOIN_CHANCE_SCALE / vertex_count, JOIN_CHANCE_MAX);
    for (vertex *u = first_vertex; u != nullptr; u = u->next) {
        if (u == v || u->state == FADING_OUT)
            continue;
        if (drand48() < p)
            add_edge(v, u);
    }
}

int edge_between(const vertex *a, const vertex *b)
{
    for (const edge *e = first_edge; e != nullptr; e = e->next)
        if ((e->a == a && e->b == b) || (e->a == b && e->b == a))
            return 1;
    return 0;
}

// 1 when every pair of vertices not fading out is already joined, so the
// retry loop of add_random_edge could never end. Makes no random draw.
static int no_joinable_pair()
{
    int64_t joinable_vertices = 0;
    int64_t joined_pairs = 0;
    for (const vertex *v = first_vertex; v != nullptr; v = v->next)
        if (v->state != FADING_OUT)
            joinable_vertices++;
    for (const edge *e = first_edge; e != nullptr; e = e->next)
        if (e->a->state != FADING_OUT && e->b->state != FADING_OUT)
            joined_pairs++;
    return pair_count(joinable_vertices) <= joined_pairs;
}

void add_random_edge()
{
    if (vertex_count == 0 || pair_count(vertex_count) == edge_count)
        return;
    // The draws below take a modulo of vertex_count - 1.
    if (vertex_count < 2 || no_joinable_pair())
        return;
    vertex *u;
    vertex *w;
    do {
        long i = lrand48() % (vertex_count - 1);
        long j = lrand48() % (vertex_count - i - 1) + 1;
        u = vertex_at(i);
        w = vertex_at(i + j);
    } while (u->state == FADING_OUT || w->state == FADING_OUT || edge_between(u, w));
    add_edge(u, w);
}

void fade_edge(edge *e)
{
    if (e->state == STEADY)
        fading_edge_count++;
    e->state = FADING_OUT;
}

void delete_edges_of(const vertex *v)
{
    for (edge *e = first_edge; e != nullptr; e = e->next)
        if (e->a == v || e->b == v)
            fade_edge(e);
}

void delete_random_edge()
{
    if (edge_count == 0)
        return;
    fade_edge(edge_at(lrand48() % edge_count));
}
