// The HTTP client against the loopback server.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "disc/class_HTTPQuery.h"
#include "support/cddb_server.h"
#include "support/quick_http_timeouts.h"

using namespace sonorel_test;

namespace {

std::string ErrorOf(cHTTPQuery& http, const std::string& path)
{
    try {
        http.Query(path, true);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

class HttpTest : public ::testing::Test {
protected:
    void TearDown() override { HTTPQueryTimeouts = {}; }
    CddbServer server;
};

TEST_F(HttpTest, RequestBytesAreExactAndTheBodyFollowsTheEmptyLine)
{
    cHTTPQuery http("127.0.0.1", server.Port());
    EXPECT_EQ(http.Query("/x", true), "") << "never resolved";
    EXPECT_EQ(server.Connections(), 0);
    http.Resolve();
    const std::string body = http.Query("/~cddb/cddb.cgi?cmd=cddb+query+0&hello=a+b+c+d&proto=1", true);
    EXPECT_EQ(body, "202 No match found.\r\n") << "the body, without status line and headers";
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], "GET /~cddb/cddb.cgi?cmd=cddb+query+0&hello=a+b+c+d&proto=1 HTTP/1.0\r\n"
                                    "User-Agent: rp\r\nHost: 127.0.0.1\r\n\r\n");
    // An error status still gives its body.
    EXPECT_EQ(http.Query("/x", true), "500 Command syntax error, command unknown, command unimplemented.\r\n");
    http.Reset();
    EXPECT_EQ(http.Query("/x", true), "");
    EXPECT_EQ(server.Connections(), 2);
}

// Every way a server can fail ends in an exception or an empty body, never in a wait past the
// time-outs. The quick time-outs give up on the silent and the dripping server; the other cases
// end by the server's doing, under the client's own time-outs.
TEST_F(HttpTest, HostileServersEndWithinTheTimeOuts)
{
    struct Case {
        CddbServer::Mode mode;
        const char* error; // "" when the query returns ""
    };
    const std::string timedOut = "::Query:sockethread:" + WinSockErrorText(10060);
    const Case cases[] = {
        {CddbServer::Mode::Empty, ""},
        {CddbServer::Mode::NoHeaderEnd, ""},
        {CddbServer::Mode::Silence, timedOut.c_str()},
        {CddbServer::Mode::Drip, timedOut.c_str()},
        {CddbServer::Mode::Reset, "::Query:sockethread:"},
        {CddbServer::Mode::Huge, "::Query:sockethread:The message was too large to fit into the specified buffer and was truncated."},
    };
    cHTTPQuery http("127.0.0.1", server.Port());
    http.Resolve();
    for (const Case& c : cases) {
        server.SetMode(c.mode);
        HTTPQueryTimeouts = c.error == timedOut ? kQuickTimeouts : HTTPTimeouts{};
        const auto start = std::chrono::steady_clock::now();
        const std::string error = ErrorOf(http, "/~cddb/cddb.cgi?cmd=cddb+query+0&hello=a+b+c+d&proto=1");
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (*c.error == 0)
            EXPECT_EQ(error, "(no error)") << static_cast<int>(c.mode);
        else
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << static_cast<int>(c.mode) << ": " << error;
        // Far below the silent server's minute, however loaded the machine.
        EXPECT_LT(seconds, 20) << static_cast<int>(c.mode);
    }
}

TEST_F(HttpTest, ConnectAndResolveFailuresHaveTheirTexts)
{
    // A port nobody listens on.
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    cHTTPQuery refused("127.0.0.1", ntohs(address.sin_port));
    refused.Resolve();
    EXPECT_EQ(ErrorOf(refused, "/"), "The attempt to connect was forcefully rejected.");

    cHTTPQuery unknown("no-such-host.invalid");
    try {
        unknown.Resolve();
        ADD_FAILURE() << "resolved";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "gethostbyname error.");
    }
    EXPECT_FALSE(unknown.Valid());
}

TEST(HttpText, UrlEncodingAndErrorTexts)
{
    EXPECT_EQ(URLEncode("abc 12"), "abc+12");
    EXPECT_EQ(URLEncode("a/b"), "a%2Fb");
    EXPECT_EQ(URLEncode("\xE9\t\r\n"), "%E9+++");
    EXPECT_EQ(WinSockErrorText(10061), "The attempt to connect was forcefully rejected.");
    EXPECT_EQ(WinSockErrorText(10000), "");
    EXPECT_EQ(WinSockErrorCode(ECONNRESET), 10054);
    EXPECT_EQ(WinSockErrorCode(ETIMEDOUT), 10060);
    EXPECT_EQ(WinSockErrorCode(ENOENT), 0);
}

} // namespace
