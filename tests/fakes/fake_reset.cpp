// One call that puts every fake back to its start state between tests.
#include "fakes.h"

void ResetFakes() {
    FakeGlfw = FakeGlfwState{};
    FakeGl = FakeGlState{};
    FakeAl = FakeAlState{};
}
