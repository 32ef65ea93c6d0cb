// One call that puts every fake back to its start state between tests.
#include "fakes.h"

#include "Vorn_glfw3.h"

void ResetFakes() {
    FakeGlfw = FakeGlfwState{};
    FakeGl = FakeGlState{};
    // A fresh fake GL holds no texture objects, as a new context: the renderer's go too.
    ForgetTextures();
    FakeAl = FakeAlState{};
}
