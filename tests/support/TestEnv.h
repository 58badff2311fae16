#pragma once

#include <QString>

// Fails the test run at once when the environment could reach the real home
// folder (tests must run through CTest, which gives each its own HOME).
void g_requireTestEnvironment();

// The source tree, for tests that read checked-in files.
QString g_testSourceDir();
