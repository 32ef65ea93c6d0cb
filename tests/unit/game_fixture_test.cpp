// The game-screen fixture itself: a tapped key reaches the logical inputs, and an update's
// text is read back from its draw records.
#include "game_fixture.h"

TEST_F(GameScreen, AHeldKeyReachesItsLogicalInputAndTextReadsBack) {
    Hold(GLFW_KEY_RIGHT);
    Step();
    EXPECT_GT(G.Joy(InputRight), 0.5f);
    Hold(GLFW_KEY_RIGHT, false);
    Step();
    EXPECT_LT(G.Joy(InputRight), 0.3f);
    G.GameState = -1;   // a state that draws nothing of its own
    G.GameOver = 1;
    G.GameOverReason = 1;
    G.GameOverTimer = 60;
    Step();
    EXPECT_TRUE(Drew("GameOver"));
}
