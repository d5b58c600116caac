#pragma once

#include <string>
#include <vector>

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

// What one run of a command-line tool did: its status (-1 if a signal ended it) and output.
struct ToolRun {
    int exitStatus = -1;
    std::string output, errors;
};

// Runs program with args to its end, under limits in bytes (0 for none) on the memory it may map
// and on the size of a file it writes.
ToolRun runTool(const std::string& program, const std::vector<std::string>& args,
                unsigned long long addressSpace = 0, unsigned long long fileSize = 0);
