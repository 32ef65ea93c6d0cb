// The fakes themselves: a window created through the GLFW fake reports its size back, and the
// GL fake files vertices under the batch that was open.
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include "fakes.h"

TEST(Fakes, WindowSizeAndBatchesAreRecorded) {
    ResetFakes();
    GLFWwindow* w = glfwCreateWindow(320, 200, "t", nullptr, nullptr);
    int fw = 0, fh = 0;
    glfwGetFramebufferSize(w, &fw, &fh);
    EXPECT_EQ(fw, 320);
    EXPECT_EQ(fh, 200);
    glBegin(GL_TRIANGLES);
    glColor4ub(1, 2, 3, 4);
    glVertex2f(5, 6);
    glEnd();
    ASSERT_EQ(FakeGl.batches.size(), 1u);
    ASSERT_EQ(FakeGl.batches[0].vertices.size(), 1u);
    EXPECT_EQ(FakeGl.batches[0].vertices[0].a, 4);
}
