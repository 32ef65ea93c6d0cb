/* stb_vorbis's implementation (Debian's stb_vorbis.h holds all of it), compiled into the Ogg
   fuzz target only, with the fuzzer's instrumentation; its symbols take the place of the
   shared library's. */
#include <stb_vorbis.h>
