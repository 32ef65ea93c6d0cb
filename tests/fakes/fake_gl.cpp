// Recording stand-in for fixed-function OpenGL: the GL entry points the renderer and the
// image grabs call, writing into FakeGl.
#include "fake_gl.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

FakeGlState FakeGl;

std::vector<FakeVertex> FakeGlVertices() {
    std::vector<FakeVertex> all;
    for (const FakeBatch& b : FakeGl.batches) all.insert(all.end(), b.vertices.begin(), b.vertices.end());
    return all;
}

extern "C" {

void glBegin(GLenum mode) {
    FakeBatch b;
    b.mode = static_cast<int>(mode);
    b.upload = -1;
    for (int i = static_cast<int>(FakeGl.uploads.size()) - 1; i >= 0 && b.upload < 0; --i)
        if (FakeGl.uploads[i].texture == FakeGl.bound) b.upload = i;
    b.texture = FakeGl.bound;
    b.minFilter = FakeGl.minFilter;
    b.magFilter = FakeGl.magFilter;
    b.blendSrc = FakeGl.blendSrc;
    b.blendDst = FakeGl.blendDst;
    FakeGl.batches.push_back(b);
    FakeGl.openBatch = static_cast<int>(FakeGl.batches.size()) - 1;
}
void glEnd(void) {
    if (FakeGl.openBatch < 0) {
        FakeGl.unbalancedEnds++;
        return;
    }
    FakeGl.batches[FakeGl.openBatch].ended = true;
    FakeGl.openBatch = -1;
}
void glTexCoord2d(GLdouble s, GLdouble t) {
    FakeGl.s = s;
    FakeGl.t = t;
}
void glColor4ub(GLubyte r, GLubyte g, GLubyte b, GLubyte a) {
    FakeGl.r = r;
    FakeGl.g = g;
    FakeGl.b = b;
    FakeGl.a = a;
}
void glVertex2f(GLfloat x, GLfloat y) {
    FakeVertex v{FakeGl.s, FakeGl.t, FakeGl.r, FakeGl.g, FakeGl.b, FakeGl.a, x, y};
    if (FakeGl.openBatch >= 0) FakeGl.batches[FakeGl.openBatch].vertices.push_back(v);
}
void glTexImage2D(GLenum, GLint, GLint internalFormat, GLsizei width, GLsizei height, GLint, GLenum format,
                  GLenum type, const void* pixels) {
    FakeUpload u;
    u.width = width;
    u.height = height;
    u.internalFormat = internalFormat;
    u.format = static_cast<int>(format);
    u.type = static_cast<int>(type);
    if (pixels && width > 0 && height > 0) {
        const unsigned char* p = static_cast<const unsigned char*>(pixels);
        u.pixels.assign(p, p + static_cast<size_t>(width) * height * 4);
    }
    u.minFilter = FakeGl.minFilter;
    u.magFilter = FakeGl.magFilter;
    u.batch = static_cast<int>(FakeGl.batches.size());
    u.texture = FakeGl.bound;
    FakeGl.uploads.push_back(std::move(u));
}
void glGenTextures(GLsizei n, GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) {
        // Names count up from 1 in the order given, never reused within one fake context.
        names[i] = static_cast<GLuint>(FakeGl.generated.size() + 1);
        FakeGl.generated.push_back(names[i]);
    }
}
void glBindTexture(GLenum, GLuint name) {
    FakeGl.bound = name;
    FakeGl.binds.push_back(name);
}
void glDeleteTextures(GLsizei n, const GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) {
        FakeGl.deleted.push_back(names[i]);
        if (FakeGl.bound == names[i]) FakeGl.bound = 0;
    }
}
void glTexParameterf(GLenum, GLenum pname, GLfloat param) {
    if (pname == GL_TEXTURE_MIN_FILTER) FakeGl.minFilter = static_cast<int>(param);
    if (pname == GL_TEXTURE_MAG_FILTER) FakeGl.magFilter = static_cast<int>(param);
}
void glTexParameteri(GLenum target, GLenum pname, GLint param) {
    glTexParameterf(target, pname, static_cast<GLfloat>(param));
}
void glBlendFunc(GLenum src, GLenum dst) {
    FakeGl.blendSrc = static_cast<int>(src);
    FakeGl.blendDst = static_cast<int>(dst);
    FakeGl.blendFuncs.push_back({FakeGl.blendSrc, FakeGl.blendDst});
}
void glEnable(GLenum cap) { FakeGl.enabled.push_back(static_cast<int>(cap)); }
void glDisable(GLenum cap) { FakeGl.disabled.push_back(static_cast<int>(cap)); }
void glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { FakeGl.clearColours.push_back({r, g, b, a}); }
void glClear(GLbitfield) { FakeGl.clears++; }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) { FakeGl.viewports.push_back({x, y, w, h}); }
void glPushMatrix(void) { FakeGl.pushes++; }
void glPopMatrix(void) { FakeGl.pops++; }
void glScalef(GLfloat x, GLfloat y, GLfloat z) { FakeGl.scales.push_back({x, y, z}); }
void glPolygonMode(GLenum, GLenum mode) { FakeGl.polygonModes.push_back(static_cast<int>(mode)); }
void glPixelStorei(GLenum, GLint) {}
void glReadBuffer(GLenum) {}
void glReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, void* out) {
    FakeGl.readPixelsCalls.push_back({x, y, w, h, static_cast<int>(format), static_cast<int>(type)});
    if (!out || w <= 0 || h <= 0) return;
    unsigned char* dst = static_cast<unsigned char*>(out);
    // Copy the rows that exist in the test's framebuffer; the rest read as zero.
    for (int row = 0; row < h; ++row) {
        for (int col = 0; col < w; ++col) {
            int fx = x + col, fy = y + row;
            unsigned char* px = dst + (static_cast<size_t>(row) * w + col) * 4;
            if (fx >= 0 && fy >= 0 && fx < FakeGl.framebufferWidth && fy < FakeGl.framebufferHeight &&
                FakeGl.framebuffer.size() >= static_cast<size_t>(FakeGl.framebufferWidth) * FakeGl.framebufferHeight * 4)
                std::memcpy(px, &FakeGl.framebuffer[(static_cast<size_t>(fy) * FakeGl.framebufferWidth + fx) * 4], 4);
            else
                std::memset(px, 0, 4);
        }
    }
}
const GLubyte* glGetString(GLenum) { return reinterpret_cast<const GLubyte*>("Fake GL"); }
GLenum glGetError(void) { return GL_NO_ERROR; }

}  // extern "C"
