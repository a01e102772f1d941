#include "support/cddb_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace sonorel_test {

namespace {

constexpr int kPollMs = 20;            // how often the loops look at the stop flag
constexpr int kRequestWaitMs = 2000;   // a client that sends nothing is dropped after this
constexpr int kSilenceMaxMs = 60000;   // even a silent answer ends

std::string Field(const std::string& request, const std::string& name)
{
    const size_t at = request.find(name + "=");
    if (at == std::string::npos)
        return "";
    const size_t start = at + name.size() + 1;
    const size_t end = request.find_first_of("& ", start);
    return request.substr(start, end - start);
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

// False once the client has gone.
bool SendAll(int client, const std::string& data)
{
    for (size_t sent = 0; sent < data.size();) {
        const ssize_t n = send(client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Whether the client has closed its end (or reset it).
bool ClientGone(int client)
{
    pollfd fd{client, POLLIN, 0};
    char byte;
    return poll(&fd, 1, 0) > 0 && recv(client, &byte, 1, MSG_DONTWAIT) <= 0;
}

} // namespace

std::string Utf8ToLatin1(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
            const int code = ((c & 0x1F) << 6) | (text[i + 1] & 0x3F);
            out += code < 0x100 ? static_cast<char>(code) : '?';
            ++i;
        } else {
            out += '?';
            while (i + 1 < text.size() && (text[i + 1] & 0xC0) == 0x80)
                ++i;
        }
    }
    return out;
}

CddbServer::CddbServer()
{
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("loopback CDDB server cannot listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

CddbServer::~CddbServer()
{
    stop_ = true;
    thread_.join();
    close(listener_);
}

void CddbServer::AddDisc(const CddbDisc& disc)
{
    std::lock_guard<std::mutex> lock(mutex_);
    discs_.push_back(disc);
}

std::vector<std::string> CddbServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void CddbServer::Serve()
{
    while (!stop_) {
        pollfd fd{listener_, POLLIN, 0};
        if (poll(&fd, 1, kPollMs) <= 0)
            continue;
        const int client = accept(listener_, nullptr, nullptr);
        if (client < 0)
            continue;
        ++connections_;
        Answer(client);
        close(client);
    }
}

void CddbServer::Answer(int client)
{
    std::string request;
    char buffer[4096];
    for (int waited = 0; request.find("\r\n\r\n") == std::string::npos && waited < kRequestWaitMs && !stop_;) {
        pollfd fd{client, POLLIN, 0};
        if (poll(&fd, 1, kPollMs) <= 0) {
            waited += kPollMs;
            continue;
        }
        const ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<size_t>(n));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
    }
    switch (mode_.load()) {
    case Mode::Empty:
        return;
    case Mode::Silence:
        for (int waited = 0; !stop_ && waited < kSilenceMaxMs && !ClientGone(client); waited += kPollMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        return;
    case Mode::Reset: {
        linger hard{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        return;
    }
    case Mode::Huge: {
        SendAll(client, "HTTP/1.0 200 OK\r\n\r\n");
        const std::string chunk(64 * 1024, 'x');
        for (int i = 0; i < 160 && !stop_ && SendAll(client, chunk); ++i) {
        }
        return;
    }
    case Mode::Drip: {
        const std::string answer = Respond(request);
        for (size_t i = 0; i < answer.size() && !stop_ && SendAll(client, answer.substr(i, 1)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return;
    }
    default:
        SendAll(client, Respond(request));
    }
}

std::string CddbServer::Respond(const std::string& request)
{
    const std::string headers = mode_ == Mode::NoHeaderEnd ? "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n"
                                                           : "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    const std::string cmd = Field(request, "cmd");
    const int asked = std::atoi(Field(request, "proto").c_str());
    const int proto = mode_ == Mode::AlwaysUtf8 && asked >= 1 ? 6 : asked;
    if (Field(request, "hello").empty() || proto < 1 || proto > 6)
        return headers + "500 Command syntax error, command unknown, command unimplemented.\r\n";
    if (cmd.rfind("cddb+query+", 0) == 0)
        return headers + RespondQuery(cmd.substr(11), proto);
    if (cmd.rfind("cddb+read+", 0) == 0)
        return headers + RespondRead(cmd.substr(10), proto);
    return headers + "500 Command syntax error, command unknown, command unimplemented.\r\n";
}

std::string CddbServer::RespondQuery(const std::string& args, int proto)
{
    const Mode mode = mode_;
    if (mode == Mode::StatusOnly)
        return "200";
    if (mode == Mode::ServerError)
        return "403 Database entry is corrupt.\r\n";
    const std::string id = Split(args, '+').empty() ? "" : Split(args, '+')[0];
    std::lock_guard<std::mutex> lock(mutex_);
    for (const CddbDisc& disc : discs_) {
        if (disc.id != id)
            continue;
        const std::string title = proto < 6 ? Utf8ToLatin1(disc.title) : disc.title;
        if (mode == Mode::CrLfInTokens)
            return "200 ro\r\nck " + disc.id + " " + title + "\r\n";
        if (mode == Mode::DotDotCategory)
            return "200 ../x " + disc.id + " " + title + "\r\n";
        if (mode == Mode::TwoMatches)
            return "211 Found inexact matches, list follows (until terminating `.')\r\n" + disc.category + " " +
                   disc.id + " " + title + "\r\nmisc " + disc.id + " " + title + "\r\n.\r\n";
        return "200 " + disc.category + " " + disc.id + " " + title + "\r\n";
    }
    return "202 No match found.\r\n";
}

std::string CddbServer::RespondRead(const std::string& args, int proto)
{
    if (mode_ == Mode::ServerError || mode_ == Mode::ReadNotFound)
        return "401 Specified CDDB entry not found.\r\n";
    const std::vector<std::string> parts = Split(args, '+');
    std::lock_guard<std::mutex> lock(mutex_);
    for (const CddbDisc& disc : discs_) {
        if (parts.size() != 2 || parts[0] != disc.category || parts[1] != disc.id)
            continue;
        auto text = [proto](const std::string& s) { return proto < 6 ? Utf8ToLatin1(s) : s; };
        std::string answer = "210 " + disc.category + " " + disc.id + " CD database entry follows (until terminating `.')\r\n";
        answer += "# xmcd\r\n#\r\nDISCID=" + disc.id + "\r\nDTITLE=" + text(disc.title) + "\r\nDYEAR=2001\r\n";
        for (size_t i = 0; i < disc.tracks.size(); ++i)
            answer += "TTITLE" + std::to_string(i) + "=" + text(disc.tracks[i]) + "\r\n";
        answer += "EXTD=\r\nPLAYORDER=\r\n.\r\n";
        return answer;
    }
    return "401 Specified CDDB entry not found.\r\n";
}

} // namespace sonorel_test
