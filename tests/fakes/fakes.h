// The recording fakes of GLFW, OpenGL and OpenAL that unit tests link instead of the real
// libraries, and the one reset between tests.
#pragma once

#include "fake_al.h"
#include "fake_gl.h"
#include "fake_glfw.h"

void ResetFakes();
