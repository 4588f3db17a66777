#pragma once

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qj::test {

// A forked child that is ended with its owner: at the end of the scope (an assertion that
// returns early included), and by the kernel if the test process itself dies.
class Child
{
public:
    Child() = default;
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    ~Child() { end(); }

    // fork(): true in the child, which dies with its parent.
    bool fork()
    {
        const pid_t parent = ::getpid();
        m_pid = ::fork();
        if (m_pid != 0)
            return false;
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) // the parent went before the line above
            ::_exit(1);
        return true;
    }
    pid_t pid() const { return m_pid; }
    void end()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

} // namespace qj::test
