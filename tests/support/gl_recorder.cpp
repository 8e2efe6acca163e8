#include "gl_recorder.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>

std::vector<gl_call> gl_calls;
unsigned gl_next_list = 1;

void gl_reset()
{
    gl_calls.clear();
    gl_next_list = 1;
}

std::vector<gl_call> gl_calls_named(const std::string &name)
{
    std::vector<gl_call> found;
    for (const gl_call &call : gl_calls) {
        if (call.name == name)
            found.push_back(call);
    }
    return found;
}

bool gl_all_finite()
{
    for (const gl_call &call : gl_calls) {
        for (double arg : call.args) {
            if (!std::isfinite(arg))
                return false;
        }
    }
    return true;
}

static void record(const char *name, std::vector<double> args = {})
{
    gl_calls.push_back({name, std::move(args)});
}

extern "C" {

void glBegin(GLenum mode) { record("glBegin", {double(mode)}); }
void glEnd() { record("glEnd"); }
void glVertex2d(GLdouble x, GLdouble y) { record("glVertex2d", {x, y}); }
void glVertex2f(GLfloat x, GLfloat y) { record("glVertex2f", {x, y}); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { record("glColor3f", {r, g, b}); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { record("glColor4f", {r, g, b, a}); }
void glColor4fv(const GLfloat *v) { record("glColor4fv", {v[0], v[1], v[2], v[3]}); }

GLuint glGenLists(GLsizei range)
{
    GLuint name = gl_next_list;
    record("glGenLists", {double(range)});
    if (gl_next_list != 0)
        gl_next_list += range;
    return name;
}

void glNewList(GLuint list, GLenum mode) { record("glNewList", {double(list), double(mode)}); }
void glEndList() { record("glEndList"); }
void glCallList(GLuint list) { record("glCallList", {double(list)}); }

void glMatrixMode(GLenum mode) { record("glMatrixMode", {double(mode)}); }
void glLoadIdentity() { record("glLoadIdentity"); }
void glPushMatrix() { record("glPushMatrix"); }
void glPopMatrix() { record("glPopMatrix"); }
void glScalef(GLfloat x, GLfloat y, GLfloat z) { record("glScalef", {x, y, z}); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { record("glTranslatef", {x, y, z}); }
void glMultMatrixd(const GLdouble *m) { record("glMultMatrixd", std::vector<double>(m, m + 16)); }

void glViewport(GLint x, GLint y, GLsizei w, GLsizei h)
{
    record("glViewport", {double(x), double(y), double(w), double(h)});
}
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a)
{
    record("glClearColor", {r, g, b, a});
}
void glClear(GLbitfield mask) { record("glClear", {double(mask)}); }
void glEnable(GLenum cap) { record("glEnable", {double(cap)}); }
void glDisable(GLenum cap) { record("glDisable", {double(cap)}); }
void glBlendFunc(GLenum s, GLenum d) { record("glBlendFunc", {double(s), double(d)}); }
void glShadeModel(GLenum mode) { record("glShadeModel", {double(mode)}); }

void gluOrtho2D(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top)
{
    record("gluOrtho2D", {left, right, bottom, top});
}
}
