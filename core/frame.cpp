// Framework start-up and shutdown, the frame pipeline (end of update, render) with the
// virtual-screen geometry, the millisecond clock and the log forwarders.
#include "VornCore.h"
