#include "platform/os/process.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <mutex>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace os {

namespace {
std::mutex g_hookLock;
LaunchHook g_hook;

// Starts the program with the arguments and the file actions (which it
// destroys); the process id, 0 when it does not start.
pid_t spawn(const std::string& program, const std::vector<std::string>& argv,
            posix_spawn_file_actions_t& actions) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return r == 0 ? pid : 0;
}

// The same, started in folder when one is given.
pid_t spawnIn(const std::string& program, const std::vector<std::string>& argv,
              const std::string& folder) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    return spawn(program, argv, actions);
}

// Waits for the process to end; its exit code, -1 when it did not exit.
int exitCodeOf(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

int CurrentProcessId() {
    return int(getpid());
}

uint32_t CurrentThreadId() {
    return uint32_t(syscall(SYS_gettid));
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    std::string cur;
    bool inArg = false, quoted = false;
    for (size_t i = 0; i < commandLine.size(); ++i) {
        char c = commandLine[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
                    cur += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cur += c;
            }
        } else if (c == ' ' || c == '\t') {
            if (inArg) {
                args.push_back(cur);
                cur.clear();
                inArg = false;
            }
        } else if (c == '"') {
            quoted = true;
            inArg = true;
        } else {
            cur += c;
            inArg = true;
        }
    }
    if (inArg) args.push_back(cur);
    return args;
}

std::string FindProgram(const std::string& name) {
    if (name.empty()) return "";
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            std::string full = dir + "/" + name;
            if (access(full.c_str(), X_OK) == 0) return full;
        }
        start = end + 1;
    }
    return "";
}

void SetLaunchHook(LaunchHook hook) {
    std::lock_guard<std::mutex> g(g_hookLock);
    g_hook = std::move(hook);
}

int StartProcess(const std::vector<std::string>& argv, const std::string& folder) {
    if (argv.empty() || argv[0].empty()) return 0;
    {
        std::lock_guard<std::mutex> g(g_hookLock);
        if (g_hook) return g_hook(argv, folder) ? 1 : 0;
    }
    std::string program = FindProgram(argv[0]);
    if (program.empty()) return 0;
    pid_t pid = spawnIn(program, argv, folder);
    if (!pid) return 0;
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return int(pid);
}

int RunProcessAndWait(const std::vector<std::string>& argv, const std::string& folder) {
    if (argv.empty() || argv[0].empty()) return -1;
    {
        std::lock_guard<std::mutex> g(g_hookLock);
        if (g_hook) return g_hook(argv, folder) ? 0 : -1;
    }
    std::string program = FindProgram(argv[0]);
    if (program.empty()) return -1;
    pid_t pid = spawnIn(program, argv, folder);
    if (!pid) return -1;
    return exitCodeOf(pid);
}

int RunProcessCapture(const std::vector<std::string>& argv, std::string& output) {
    output.clear();
    if (argv.empty() || argv[0].empty()) return -1;
    std::string program = FindProgram(argv[0]);
    if (program.empty()) return -1;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = spawn(program, argv, actions);
    close(pipeFds[1]);
    if (!pid) {
        close(pipeFds[0]);
        return -1;
    }
    char buffer[4096];
    for (;;) {
        ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0) {
            // Enough for any answer asked for this way.
            if (output.size() < (1u << 20)) output.append(buffer, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    close(pipeFds[0]);
    return exitCodeOf(pid);
}

int CurrentThreadNice() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    return errno ? 0 : nice;
}

bool SetCurrentThreadNice(int nice) {
    // On Linux the priority of a thread id is that thread's own.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), nice) == 0;
}

void ReleaseFreeMemory() {
    malloc_trim(0);
}

} // namespace os
