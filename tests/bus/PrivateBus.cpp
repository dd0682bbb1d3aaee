#include "bus/PrivateBus.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velkor::test {
namespace {

// Everyone may own and call anything: the bus is the test's alone.
const char* kConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%s/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

} // namespace

bool PrivateBus::DaemonInstalled() {
    const std::string daemon = VELKOR_DBUS_DAEMON;
    return !daemon.empty() && access(daemon.c_str(), X_OK) == 0;
}

bool PrivateBus::Start(std::string& why) {
    char folder[] = "/tmp/velkor-bus-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        why = std::string("mkdtemp: ") + std::strerror(errno);
        return false;
    }
    m_folder = folder;
    const std::string configPath = m_folder + "/bus.conf";
    {
        std::vector<char> config(std::strlen(kConfig) + m_folder.size() + 1);
        std::snprintf(config.data(), config.size(), kConfig, m_folder.c_str());
        std::ofstream out(configPath);
        out << config.data();
        if (!out) {
            why = "cannot write " + configPath;
            return false;
        }
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        why = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    // Everything the child needs is prepared before fork: only exec follows there.
    const std::string configArg = "--config-file=" + configPath;
    const std::string printArg = "--print-address=" + std::to_string(pipeFds[1]);
    const char* daemon = VELKOR_DBUS_DAEMON;
    char* const argv[] = {const_cast<char*>(daemon),           const_cast<char*>(configArg.c_str()),
                          const_cast<char*>("--nofork"),       const_cast<char*>("--nopidfile"),
                          const_cast<char*>(printArg.c_str()), nullptr};
    m_pid = fork();
    if (m_pid < 0) {
        why = std::string("fork: ") + std::strerror(errno);
        close(pipeFds[0]);
        close(pipeFds[1]);
        return false;
    }
    if (m_pid == 0) {
        // A test that dies must not leave its daemon behind.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(pipeFds[0]);
        execv(daemon, argv);
        _exit(127);
    }
    close(pipeFds[1]);
    // The daemon prints its address once it listens; end of file means it died.
    std::string line;
    char c = 0;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    close(pipeFds[0]);
    if (line.empty()) {
        why = std::string(daemon) + " did not start";
        Stop();
        return false;
    }
    m_address = line;
    return true;
}

void PrivateBus::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
    if (!m_folder.empty()) {
        unlink((m_folder + "/bus").c_str());
        unlink((m_folder + "/bus.conf").c_str());
        rmdir(m_folder.c_str());
        m_folder.clear();
    }
}

PrivateBus::~PrivateBus() {
    Stop();
}

} // namespace velkor::test
