#include "support/ProgramProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace krl::test {

ProgramProcess::ProgramProcess(const std::string& executable,
                               const std::vector<std::string>& arguments,
                               const std::map<std::string, std::string>& environment,
                               const ProcessStreams& streams) {
    std::vector<std::string> args{executable};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const auto eq = entry.find('=');
        if (eq != std::string::npos)
            env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    // Without a session bus of the run's own (dbus-run-session), a copy must not start one: the
    // bus a copy would launch by itself is shared by the next one and can outlive the run.
    if (env.find("DBUS_SESSION_BUS_ADDRESS") == env.end())
        env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/nonexistent/kestrelcall-test-bus";
    for (const auto& [k, v] : environment)
        env[k] = v;
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : env)
        envStrings.push_back(k + "=" + v);
    std::vector<char*> argv, envp;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStrings)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (streams.input && ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(streams.input ? pipeFds[0] : ::open("/dev/null", O_RDONLY | O_CLOEXEC), 0);
        const auto redirect = [](const std::string& file, int fd) {
            if (!file.empty())
                ::dup2(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), fd);
        };
        redirect(streams.output, 1);
        redirect(streams.errors, 2);
        rlimit limit{};
        if (streams.fileSizeLimit != 0 && ::getrlimit(RLIMIT_FSIZE, &limit) == 0) {
            limit.rlim_cur = streams.fileSizeLimit;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (streams.input) {
        ::close(pipeFds[0]);
        input_ = pipeFds[1];
    }
}

ProgramProcess::~ProgramProcess() {
    closeInput();
    if (running()) {
        ::kill(pid_, SIGTERM);
        if (waitForExit(5000) == -1) {
            ::kill(pid_, SIGKILL);
            waitForExit(5000);
        }
    }
}

bool ProgramProcess::running() {
    if (pid_ <= 0 || status_ != -1)
        return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        status_ = status;
        return false;
    }
    return r == 0;
}

int ProgramProcess::waitForExit(int timeoutMs) {
    return waitUntil([&] { return !running(); }, timeoutMs) ? status_ : -1;
}

int ProgramProcess::exitCode(int timeoutMs) {
    const int status = waitForExit(timeoutMs);
    if (status == -1)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void ProgramProcess::signal(int number) {
    if (running())
        ::kill(pid_, number);
}

void ProgramProcess::type(const std::string& text) {
    (void)!::write(input_, text.data(), text.size());
}

void ProgramProcess::closeInput() {
    if (input_ >= 0)
        ::close(input_);
    input_ = -1;
}

std::string ProgramProcess::ask(const std::string& socketPath, const std::string& command) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string line = command + "\n";
        if (::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size())) {
            timeval tv{10, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            char c;
            while (::read(fd, &c, 1) == 1 && c != '\n')
                answer += c;
        }
    }
    ::close(fd);
    return answer;
}

}  // namespace krl::test
