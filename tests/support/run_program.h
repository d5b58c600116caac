#pragma once

#include <string>

// What one run of the real frimel program did.
struct ProgramRun {
    bool exited = false;  // ended on its own within the time limit
    int exitStatus = -1;  // its status when it exited normally, else -1
    int signal = 0;       // the signal that ended it, if one did before the time limit
    std::string output;   // everything it wrote to standard output
};

// Runs the frimel binary in workDir with its standard output captured. A program still running
// after timeLimitSeconds is killed. When settleAfter is given and the output comes to end with
// it, the program gets only settleSeconds more to end on its own: enough to see that it has
// entered its main loop without waiting for the whole time limit.
ProgramRun runProgram(const std::string& workDir, double timeLimitSeconds,
                      const std::string& settleAfter = "", double settleSeconds = 0.5);
