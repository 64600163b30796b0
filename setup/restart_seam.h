#pragma once
// Test seam for the restart at the end of a run: a restart would end the test's Wine session.
// Linked only into the tests' engine (brimstead-engine-test.exe), never into the shipped one.

namespace setup {

// When the environment variable BRIMSTEAD_TEST_RESTART_FILE names a file, the restart request
// appends the line "restart requested" to that file instead of restarting the system. Without
// the variable nothing changes. Called once by the tests' entry, before the engine starts.
void InstallRestartTestSeam();

}  // namespace setup
