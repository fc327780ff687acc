// A hook for the tests of interruption: with TORVA_TEST_PAUSE_AT=POINT:N and
// TORVA_TEST_PAUSE_FD=FD in the environment, the N-th time the process
// passes POINT it writes one byte to the descriptor FD and blocks until a
// signal ends it. The points are "staged-open" (a temporary file was
// created), "staged-write" (bytes were written to it) and "staged-commit"
// (it is complete, not yet renamed). Without the variables nothing happens.
#pragma once

namespace torva {

void TestPause(const char* point);

}  // namespace torva
