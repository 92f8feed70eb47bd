#include "VirtualDisplay.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr int StartTimeoutMs = 10000;
constexpr int DisplayFd = 3;  // where Xvfb writes the display number it took
}  // namespace

VirtualDisplay::~VirtualDisplay() { stop(); }

bool VirtualDisplay::start()
{
    stop();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        m_error = "pipe failed";
        return false;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        m_error = "fork failed";
        return false;
    }
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlives the bench
        ::dup2(fds[1], DisplayFd);           // dup2 leaves the copy open across exec
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);  // it warns about keyboard maps; nothing worth showing
        ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", Screen, "-nolisten", "tcp",
                 static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    m_pid = pid;
    // -displayfd: it picks a free number itself and writes it once it accepts clients.
    QByteArray got;
    pollfd p{fds[0], POLLIN, 0};
    for (int waited = 0; !got.contains('\n') && waited < StartTimeoutMs; waited += 100) {
        if (::poll(&p, 1, 100) > 0) {
            char buf[32];
            const ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, n);
        }
    }
    ::close(fds[0]);
    bool ok = false;
    const int number = got.trimmed().toInt(&ok);
    if (!got.contains('\n') || !ok) {
        m_error = "Xvfb did not start (is the xvfb package installed?)";
        stop();
        return false;
    }
    m_name = ':' + QByteArray::number(number);
    return true;
}

void VirtualDisplay::stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    m_name.clear();
}
