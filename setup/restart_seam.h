#pragma once
// Test seam for the restart at the end of a run: a restart would end the test's Wine session.

namespace setup {

// When the environment variable BRIMSTEAD_TEST_RESTART_FILE names a file, the restart request
// appends the line "restart requested" to that file instead of restarting the system. Without
// the variable nothing changes. Called once at start-up.
void InstallRestartTestSeam();

}  // namespace setup
