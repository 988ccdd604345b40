// Processes: our own identifiers, and starting another program with its
// arguments passed one by one (never through a shell).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace os {

int CurrentProcessId();
uint32_t CurrentThreadId();

// The scheduling nice value of the calling thread alone (-20 to 19, higher
// runs less). Going below the current value needs privileges: false when the
// system refuses.
int CurrentThreadNice();
bool SetCurrentThreadNice(int nice);

// Splits a command line at blanks; double quotes group blanks into one
// argument and two double quotes inside quotes give one.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Finds a program by name on $PATH (a name holding "/" is taken as it is);
// "" when there is none that may be run.
std::string FindProgram(const std::string& name);

// Starts argv[0] (looked up on $PATH) with the other arguments, in folder when
// it is not empty. The child is reaped in the background. Returns its process
// id, or 0 when it could not be started.
int StartProcess(const std::vector<std::string>& argv, const std::string& folder = "");

// Runs argv like StartProcess and waits for it to end; its exit code, or -1
// when it could not be started or was ended by a signal. Under a launch hook
// the answer is 0 when the hook accepts the start, else -1.
int RunProcessAndWait(const std::vector<std::string>& argv, const std::string& folder = "");

// Runs argv (a query: never under the launch hook) and waits for it, its
// standard output in output; its exit code, or -1 when it could not run.
int RunProcessCapture(const std::vector<std::string>& argv, std::string& output);

// Gives the heap's free pages back to the system. The allocator keeps what
// is freed in the middle of its heap; after start-up, whose temporary buffers
// leave such holes, they would stay counted against the program.
void ReleaseFreeMemory();

// Tests replace the starting of processes: the hook receives argv and folder
// and answers whether the start succeeded. An empty hook restores the real one.
using LaunchHook =
    std::function<bool(const std::vector<std::string>& argv, const std::string& folder)>;
void SetLaunchHook(LaunchHook hook);

} // namespace os
