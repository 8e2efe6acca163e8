#include "graph_check.h"

#include "anneal.h"
#include "fade.h"
#include "graph.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

void reset_graph()
{
    while (first_edge != nullptr) {
        edge *next = first_edge->next;
        free(first_edge);
        first_edge = next;
    }
    while (first_vertex != nullptr) {
        vertex *next = first_vertex->next;
        free(first_vertex);
        first_vertex = next;
    }
    vertex_count = 0;
    fading_vertex_count = 0;
    edge_count = 0;
    fading_edge_count = 0;
    bbox = {-4 / 3.0f, 4 / 3.0f, -1, 1};
    temperature = 0.006f;
}

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

static AssertionResult check_fade(float alpha, int state)
{
    if (!(alpha >= 0 && alpha <= 1))
        return AssertionFailure() << "alpha " << alpha << " outside [0, 1]";
    if (state == DEAD)
        return AssertionFailure() << "DEAD record survived";
    if (state == STEADY && alpha != 1)
        return AssertionFailure() << "STEADY record with alpha " << alpha;
    if (state == FADING_IN && alpha >= 1)
        return AssertionFailure() << "FADING_IN record at alpha 1";
    if (state != STEADY && state != FADING_IN && state != FADING_OUT)
        return AssertionFailure() << "unknown state " << state;
    return AssertionSuccess();
}

static int in_range(float c, float lo, float hi)
{
    return std::isfinite(c) && c >= lo && c <= hi;
}

// Sorted vectors rather than sets: the fuzzer checks after every operation.
static AssertionResult check_vertices(std::vector<const vertex *> *members)
{
    int count = 0;
    int fading = 0;
    for (const vertex *v = first_vertex; v != nullptr; v = v->next, count++) {
        AssertionResult fade = check_fade(v->alpha, v->state);
        if (!fade)
            return fade << " (vertex " << count << ")";
        fading += v->state != STEADY;
        if (!in_range(v->x, bbox.xmin, bbox.xmax) || !in_range(v->y, bbox.ymin, bbox.ymax))
            return AssertionFailure() << "vertex " << count << " at (" << v->x << ", " << v->y
                                      << ") outside bbox";
        if (!in_range(v->r, 0.5f, 1) || !in_range(v->g, 0.5f, 1) || !in_range(v->b, 0.5f, 1))
            return AssertionFailure() << "vertex " << count << " colour outside [0.5, 1]";
        members->push_back(v);
    }
    std::sort(members->begin(), members->end());
    if (count != vertex_count)
        return AssertionFailure() << "vertex_count " << vertex_count << ", list " << count;
    if (fading != fading_vertex_count)
        return AssertionFailure() << "fading_vertex_count " << fading_vertex_count << ", list "
                                  << fading;
    return AssertionSuccess();
}

static AssertionResult check_edges(const std::vector<const vertex *> &members)
{
    std::vector<std::pair<const vertex *, const vertex *>> pairs;
    int count = 0;
    int fading = 0;
    for (const edge *e = first_edge; e != nullptr; e = e->next, count++) {
        AssertionResult fade = check_fade(e->alpha, e->state);
        if (!fade)
            return fade << " (edge " << count << ")";
        fading += e->state != STEADY;
        if (!std::binary_search(members.begin(), members.end(), e->a) ||
            !std::binary_search(members.begin(), members.end(), e->b))
            return AssertionFailure() << "edge " << count << " outlived an end";
        if (e->a == e->b)
            return AssertionFailure() << "edge " << count << " is a loop";
        pairs.push_back(std::minmax(e->a, e->b));
        if (e->alpha > e->a->alpha || e->alpha > e->b->alpha)
            return AssertionFailure() << "edge " << count << " alpha " << e->alpha
                                      << " above its ends " << e->a->alpha << ", "
                                      << e->b->alpha;
    }
    std::sort(pairs.begin(), pairs.end());
    if (std::adjacent_find(pairs.begin(), pairs.end()) != pairs.end())
        return AssertionFailure() << "two edges join the same pair";
    if (count != edge_count)
        return AssertionFailure() << "edge_count " << edge_count << ", list " << count;
    if (fading != fading_edge_count)
        return AssertionFailure() << "fading_edge_count " << fading_edge_count << ", list "
                                  << fading;
    return AssertionSuccess();
}

AssertionResult graph_is_consistent()
{
    std::vector<const vertex *> members;
    AssertionResult vertices = check_vertices(&members);
    if (!vertices)
        return vertices;
    return check_edges(members);
}

vertex *nth_vertex(int pos)
{
    vertex *v = first_vertex;
    for (; v != nullptr && pos > 0; pos--)
        v = v->next;
    return v;
}

edge *nth_edge(int pos)
{
    edge *e = first_edge;
    for (; e != nullptr && pos > 0; pos--)
        e = e->next;
    return e;
}

void add_isolated_vertices(int n)
{
    for (int i = 0; i < n; i++) {
        push_vertex();
        delete_edges_of(first_vertex);
    }
    fade_step(1);
}

void join_all()
{
    for (int i = 0; i < vertex_count; i++)
        for (int j = i + 1; j < vertex_count; j++)
            if (!edge_between(nth_vertex(i), nth_vertex(j)))
                add_edge(nth_vertex(i), nth_vertex(j));
}

std::vector<float> vertex_fields(float vertex::*first, float vertex::*second)
{
    std::vector<float> fields;
    for (const vertex *v = first_vertex; v != nullptr; v = v->next) {
        fields.push_back(v->*first);
        fields.push_back(v->*second);
    }
    return fields;
}
