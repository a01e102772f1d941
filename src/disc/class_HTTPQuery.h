#pragma once

// A minimal blocking HTTP/1.0 client for the CDDB lookup: one GET per TCP connection, the server
// closes the connection after its answer, the body is what follows the first empty line. No
// proxies, no redirects, no status handling. Failures are thrown as std::runtime_error.

#include <cstdint>
#include <string>

// Held by every operation that touches the network for its own duration. POSIX sockets need no
// start-up, so it does nothing; it keeps the place where a platform would need one.
class cWSALink {
public:
    cWSALink() = default;
    ~cWSALink() = default;
    cWSALink(const cWSALink&) = delete;
    cWSALink& operator=(const cWSALink&) = delete;
};

// How long a query may wait. A server that accepts and then says nothing, or drips its answer,
// must not hold the window longer than this.
struct HTTPTimeouts {
    int connectMs = 10000; // to establish the connection
    int receiveMs = 10000; // for any one block of the answer
    int answerMs = 30000;  // for the whole answer
};
extern HTTPTimeouts HTTPQueryTimeouts; // tests shorten them

class cHTTPQuery {
public:
    static constexpr int64_t MaxAnswerBytes = 1 << 20; // a longer answer is refused

    explicit cHTTPQuery(const std::string& host, int port = 80);
    ~cHTTPQuery();
    cHTTPQuery(const cHTTPQuery&) = delete;
    cHTTPQuery& operator=(const cHTTPQuery&) = delete;

    void Resolve(); // "gethostbyname error." when the name does not resolve
    // Sends "GET <path>" and returns the answer's body when `receive` is set ("" without one, and
    // "" without any network activity before Resolve).
    std::string Query(const std::string& path, bool receive);
    void Reset();
    bool Valid() const { return valid_; }

private:
    std::string ReceiveAnswer();
    void CloseAndThrow(const std::string& message);

    bool valid_ = false;
    uint32_t address_ = 0; // IPv4, network byte order
    int port_ = 80;
    int socket_ = -1;
    std::string host_;
};

// The request's User-Agent value.
extern const std::string HTTPUserAgent;

// Form-style URL encoding: letters and digits stay, white space becomes "+", every other byte
// "%XX" (upper-case hex).
std::string URLEncode(const std::string& text);

// English text of a socket error code of the table (10004 ... 10093); "" for any other code.
std::string WinSockErrorText(int code);
// The text for the calling thread's last socket error.
std::string WinSockErrorText();
// The table's code for a POSIX errno value (0 when it has none).
int WinSockErrorCode(int posixErrno);
