#include "channel/TcpConnection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qubra {

bool TTcpConnection::Fail(int Code)
{
    FError = std::strerror(Code);
    Close();
    return false;
}

bool TTcpConnection::Begin(std::uint32_t IP, std::uint16_t Port)
{
    Close();
    FError.clear();
    FHandle = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (FHandle < 0)
        return Fail(errno);
    const int on = 1;
    setsockopt(FHandle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = IP;
    address.sin_port = htons(Port);
    if (connect(FHandle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS)
        return Fail(errno);
    return true;
}

bool TTcpConnection::Finish()
{
    int code = 0;
    socklen_t length = sizeof code;
    if (getsockopt(FHandle, SOL_SOCKET, SO_ERROR, &code, &length) != 0)
        code = errno;
    return code == 0 || Fail(code);
}

bool TTcpConnection::Connect(std::uint32_t IP, std::uint16_t Port, int TimeoutMs, int StopFd)
{
    if (!Begin(IP, Port))
        return false;
    pollfd watched[2] = {{FHandle, POLLOUT, 0}, {StopFd, POLLIN, 0}};
    const int ready = poll(watched, StopFd >= 0 ? 2 : 1, TimeoutMs);
    if (ready > 0 && (watched[1].revents & POLLIN) && StopFd >= 0) {
        Close();
        return false;
    }
    if (ready <= 0)
        return Fail(ready == 0 ? ETIMEDOUT : errno);
    return Finish();
}

void TTcpConnection::Close()
{
    if (FHandle >= 0)
        close(FHandle);
    FHandle = -1;
}

} // namespace qubra
