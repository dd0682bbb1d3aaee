#pragma once
// Runs a program as a child process with its output going to files, for the
// tests of the real `velkor` program. Deadlines only keep a hanging child from
// hanging the test.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace velkor::test {

class ChildProcess {
public:
    // Output goes to `outputBase` + ".out" and ".err".
    explicit ChildProcess(std::string outputBase) : m_base(std::move(outputBase)) {}
    ~ChildProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] with exactly the environment `env` ("NAME=value" entries).
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
        std::vector<char*> args;
        std::vector<char*> envp;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        for (const std::string& entry : env) {
            envp.push_back(const_cast<char*>(entry.c_str()));
        }
        args.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, (m_base + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&files, 2, (m_base + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        const int failed = posix_spawn(&m_pid, args[0], &files, nullptr, args.data(), envp.data());
        posix_spawn_file_actions_destroy(&files);
        return failed == 0;
    }

    // Waits until standard error (or output) holds `text`; false when the child
    // ends without it or time runs out.
    bool WaitFor(const std::string& text, int deadlineMs, bool onError = true) {
        for (int waited = 0; waited < deadlineMs; waited += kSliceMs) {
            siginfo_t ended{};
            const bool gone =
                waitid(P_PID, id_t(m_pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid != 0;
            if ((onError ? Err() : Out()).find(text) != std::string::npos) {
                return true;
            }
            if (gone) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
        }
        return false;
    }

    // The exit code, or -1 when the child did not end in time.
    int WaitExit(int deadlineMs) {
        for (int waited = 0; waited < deadlineMs; waited += kSliceMs) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
        }
        return -1;
    }

    void Signal(int signal) const { kill(m_pid, signal); }
    pid_t Pid() const { return m_pid; }
    std::string Out() const { return Read(".out"); }
    std::string Err() const { return Read(".err"); }

private:
    static constexpr int kSliceMs = 10;

    std::string Read(const char* suffix) const {
        std::ostringstream text;
        text << std::ifstream(m_base + suffix).rdbuf();
        return text.str();
    }

    std::string m_base;
    pid_t m_pid = -1;
};

} // namespace velkor::test
