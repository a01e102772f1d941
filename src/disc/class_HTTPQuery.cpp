#include "disc/class_HTTPQuery.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <stdexcept>

HTTPTimeouts HTTPQueryTimeouts;
const std::string HTTPUserAgent = std::string("r") + "p";

namespace {

thread_local int lastSocketError = 0;

constexpr int kTimedOut = 10060;
constexpr int kTooLarge = 10040;

void SetSocketError(int posixErrno) { lastSocketError = WinSockErrorCode(posixErrno); }

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until the socket is ready for `events`; false (error code set) on a time-out or error.
bool WaitFor(int socket, short events, int timeoutMs)
{
    pollfd fd{socket, events, 0};
    for (;;) {
        const int ready = poll(&fd, 1, timeoutMs);
        if (ready > 0)
            return true;
        if (ready == 0) {
            lastSocketError = kTimedOut;
            return false;
        }
        if (errno != EINTR) {
            SetSocketError(errno);
            return false;
        }
    }
}

bool ConnectWithTimeout(int socket, const sockaddr_in& address, int timeoutMs)
{
    const int flags = fcntl(socket, F_GETFL, 0);
    fcntl(socket, F_SETFL, flags | O_NONBLOCK);
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            SetSocketError(errno);
            return false;
        }
        if (!WaitFor(socket, POLLOUT, timeoutMs))
            return false;
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
            SetSocketError(error);
            return false;
        }
    }
    return true;
}

bool SendAll(int socket, const std::string& data, Clock::time_point deadline)
{
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(socket, POLLOUT, MillisecondsLeft(deadline)))
                return false;
        } else if (n < 0 && errno != EINTR) {
            SetSocketError(errno);
            return false;
        }
    }
    return true;
}

} // namespace

cHTTPQuery::cHTTPQuery(const std::string& host, int port) : port_(port), host_(host) {}

cHTTPQuery::~cHTTPQuery()
{
    Reset();
    if (socket_ >= 0)
        close(socket_);
}

void cHTTPQuery::Resolve()
{
    if (valid_)
        return;
    [[maybe_unused]] cWSALink link;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host_.c_str(), nullptr, &hints, &found) != 0 || !found)
        throw std::runtime_error("gethostbyname error.");
    address_ = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    valid_ = true;
}

void cHTTPQuery::Reset() { valid_ = false; }

void cHTTPQuery::CloseAndThrow(const std::string& message)
{
    close(socket_);
    socket_ = -1;
    throw std::runtime_error(message);
}

std::string cHTTPQuery::Query(const std::string& path, bool receive)
{
    if (!valid_)
        return "";
    [[maybe_unused]] cWSALink link;
    socket_ = socket(AF_INET, SOCK_STREAM, 0);
    if (socket_ < 0)
        throw std::runtime_error("Invalid socket.");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = address_;
    if (!ConnectWithTimeout(socket_, address, HTTPQueryTimeouts.connectMs))
        CloseAndThrow(WinSockErrorText());

    const std::string request = "GET " + path + " HTTP/1.0\r\nUser-Agent: " + HTTPUserAgent + "\r\n" + "Host: " + host_ +
                                "\r\n\r\n";
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(HTTPQueryTimeouts.answerMs);
    if (!SendAll(socket_, request, deadline))
        CloseAndThrow("::Query:Socket send Error");
    std::string body;
    if (receive) {
        const std::string answer = ReceiveAnswer();
        const size_t headersEnd = answer.find("\r\n\r\n");
        // An answer without the empty line after its headers has no body.
        body = headersEnd == std::string::npos ? "" : answer.substr(headersEnd + 4);
    }
    close(socket_);
    socket_ = -1;
    return body;
}

std::string cHTTPQuery::ReceiveAnswer()
{
    std::string answer;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(HTTPQueryTimeouts.answerMs);
    char buffer[10240];
    for (;;) {
        const int wait = std::min(HTTPQueryTimeouts.receiveMs, MillisecondsLeft(deadline));
        if (!WaitFor(socket_, POLLIN, wait))
            CloseAndThrow("::Query:sockethread:" + WinSockErrorText());
        const ssize_t n = recv(socket_, buffer, sizeof buffer - 1, 0);
        if (n == 0)
            return answer;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            SetSocketError(errno);
            CloseAndThrow("::Query:sockethread:" + WinSockErrorText());
        }
        buffer[n] = '\0';
        answer += buffer; // the text of a block ends at a NUL byte in it
        if (static_cast<int64_t>(answer.size()) > MaxAnswerBytes) {
            lastSocketError = kTooLarge;
            CloseAndThrow("::Query:sockethread:" + WinSockErrorText());
        }
    }
}

std::string URLEncode(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) && c < 0x80)
            out += static_cast<char>(c);
        else if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r')
            out += '+';
        else
            out += {'%', hex[c >> 4], hex[c & 15]};
    }
    return out;
}

int WinSockErrorCode(int posixErrno)
{
    static const std::map<int, int> codes = {
        {EINTR, 10004},      {EACCES, 10013},       {EFAULT, 10014},      {EINVAL, 10022},
        {EAGAIN, 10035},     {EINPROGRESS, 10036},  {EALREADY, 10037},    {ENOTSOCK, 10038},
        {EMSGSIZE, 10040},   {EOPNOTSUPP, 10045},   {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},
        {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},  {ENETUNREACH, 10051}, {EHOSTUNREACH, 10051},
        {ENETRESET, 10052},  {ECONNABORTED, 10053}, {ECONNRESET, 10054},  {EPIPE, 10054},
        {ENOBUFS, 10055},    {EISCONN, 10056},      {ENOTCONN, 10057},    {ESHUTDOWN, 10058},
        {ETIMEDOUT, 10060},  {ECONNREFUSED, 10061},
    };
    const auto found = codes.find(posixErrno);
    return found == codes.end() ? 0 : found->second;
}

std::string WinSockErrorText() { return WinSockErrorText(lastSocketError); }

std::string WinSockErrorText(int code)
{
    static const std::map<int, const char*> texts = {
        {10004, "The (blocking) call was canceled through WSACancelBlockingCall."},
        {10013, "Attempt to connect datagram socket to broadcast address failed because setsockopt SO_BROADCAST is not enabled."},
        {10014, "The buf argument is not totally contained in a valid part of the user address space."},
        {10022, "The socket has not been bound with bind, or an unknown flag was specified, or MSG_OOB was specified for a socket with SO_OOBINLINE enabled or (for byte stream sockets only) len was zero or negative."},
        {10035, "The socket is marked as nonblocking and the receive operation would block."},
        {10036, "A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
        {10037, "A nonblocking connect call is in progress on the specified socket.Note  In order to preserve backward compatibility, this error is reported as WSAEINVAL to Windows Sockets 1.1 applications that link to either WINSOCK.DLL or WSOCK32.DLL."},
        {10038, "The descriptor is not a socket."},
        {10040, "The message was too large to fit into the specified buffer and was truncated."},
        {10045, "MSG_OOB was specified, but the socket is not stream style such as type SOCK_STREAM, out-of-band data is not supported in the communication domain associated with this socket, or the socket is unidirectional and supports only send operations."},
        {10047, "Addresses in the specified family cannot be used with this socket."},
        {10048, "The specified address is already in use."},
        {10049, "The specified address is not available from the local machine."},
        {10050, "The network subsystem has failed."},
        {10051, "The network cannot be reached from this host at this time."},
        {10052, "The connection has been broken due to the remote host resetting."},
        {10053, "The virtual circuit was terminated due to a time-out or other failure. The application should close the socket as it is no longer usable."},
        {10054, "The virtual circuit was reset by the remote side executing a 'hard' or 'abortive' close. The application should close the socket as it is no longer usable. On a UDP datagram socket this error would indicate that a previous send operation resulted in an ICMP 'Port Unreachable' message."},
        {10055, "No buffer space is available. The socket cannot be connected."},
        {10056, "The socket is already connected (connection-oriented sockets only)."},
        {10057, "The socket is not connected."},
        {10058, "The socket has been shut down; it is not possible to recv on a socket after shutdown has been invoked with how set to SD_RECEIVE or SD_BOTH."},
        {10060, "The connection has been dropped because of a network failure or because the peer system failed to respond."},
        {10061, "The attempt to connect was forcefully rejected."},
        {10093, "A successful WSAStartup must occur before using this function."},
    };
    const auto found = texts.find(code);
    return found == texts.end() ? "" : found->second;
}
