#pragma once

// A CDDB server on 127.0.0.1 for tests: it speaks the protocol over HTTP/1.0 (cddb query, read,
// hello, proto) from a small disc table, records every request's bytes, and can misbehave.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sonorel_test {

struct CddbDisc {
    std::string category = "rock";
    std::string id;                  // 8 hex digits
    std::string title;               // "Artist / Album", UTF-8
    std::vector<std::string> tracks; // UTF-8
};

class CddbServer {
public:
    enum class Mode {
        Normal,
        Empty,           // closes without a byte
        StatusOnly,      // the query answer is "200" alone
        CrLfInTokens,    // the 200 line has CR LF inside its category
        DotDotCategory,  // the 200 line names category "../x"
        Huge,            // 10 MB of answer
        Drip,            // one byte every 50 ms
        Silence,         // accepts and says nothing until it is stopped
        Reset,           // accepts, reads the request and resets the connection
        ServerError,     // 403 to the query, 401 to the read
        TwoMatches,      // 211 with two inexact matches
        NoHeaderEnd,     // an answer without the empty line after its headers
        ReadNotFound,    // a match to the query, 401 to the read
        AlwaysUtf8,      // titles in UTF-8 whatever the protocol level
    };

    CddbServer();
    ~CddbServer(); // stops the thread within a bounded time

    int Port() const { return port_; }
    void AddDisc(const CddbDisc& disc);
    void SetMode(Mode mode) { mode_ = mode; }
    std::vector<std::string> Requests() const; // every request, byte for byte, in order
    int Connections() const { return connections_; }

private:
    void Serve();
    void Answer(int client);
    std::string Respond(const std::string& request);
    std::string RespondQuery(const std::string& args, int proto);
    std::string RespondRead(const std::string& args, int proto);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<Mode> mode_{Mode::Normal};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<CddbDisc> discs_;
    std::thread thread_;
};

// UTF-8 text as ISO-8859-1 bytes (characters beyond it become '?').
std::string Utf8ToLatin1(const std::string& text);

} // namespace sonorel_test
