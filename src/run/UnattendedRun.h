#pragma once

class Application;

// Backs up every checked pair of the loaded settings file without asking anything (Passive and Quiet
// run modes). Returns the process exit code.
int RunUnattended(Application& app);
