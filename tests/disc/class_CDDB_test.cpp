// The CDDB lookup against the loopback server.

#include <gtest/gtest.h>

#include <QString>

#include "disc/class_CDDB.h"
#include "disc/class_HTTPQuery.h"
#include "support/cddb_server.h"
#include "support/quick_http_timeouts.h"
#include "support/waits.h"

using namespace sonorel_test;

namespace {

const char* kId = "940a8d0b 3 150 20000 40000 700";

class CddbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CDDBServer = {"127.0.0.1", server.Port()};
        server.AddDisc({"rock", "940a8d0b", "Some Artist / Some Album", {"One", "Tw=o / x", "Caf\xc3\xa9"}});
    }
    void TearDown() override
    {
        HTTPQueryTimeouts = {};
        CDDBServer = {};
    }
    bool Lookup(const std::string& id = kId)
    {
        cCDDB_Talk talk(&titles);
        const bool ok = RunCDDBQuery(talk, id);
        discTitle = talk.DiscTitle;
        return ok;
    }
    CddbServer server;
    std::vector<std::string> titles;
    std::string discTitle;
};

TEST_F(CddbTest, QueryThenReadFillTitlesInLineOrder)
{
    ASSERT_TRUE(Lookup());
    EXPECT_EQ(discTitle, "Some Artist / Some Album");
    EXPECT_EQ(titles, (std::vector<std::string>{"One", "Tw=o / x", "Caf\xc3\xa9"})) << "ISO-8859-1 read as such";
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "GET /~cddb/cddb.cgi?cmd=cddb+query+940a8d0b+3+150+20000+40000+700"
                           "&hello=sonorel+sonorel.invalid+Client+1.5&proto=1 HTTP/1.0\r\n"
                           "User-Agent: rp\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(requests[1], "GET /~cddb/cddb.cgi?cmd=cddb+read+rock+940a8d0b"
                           "&hello=rip+example.org+Client+1.5&proto=3 HTTP/1.0\r\n"
                           "User-Agent: rp\r\nHost: 127.0.0.1\r\n\r\n");
}

// Nothing but a single exact match reaches the read request, and nothing unsafe goes into its path.
TEST_F(CddbTest, AnythingButAnExactMatchEndsTheLookup)
{
    struct Case {
        CddbServer::Mode mode;
        std::string id;
    };
    const Case cases[] = {
        {CddbServer::Mode::Normal, "00000000 1 150 10"}, // 202: no match
        {CddbServer::Mode::TwoMatches, kId},              // 211
        {CddbServer::Mode::ServerError, kId},             // 403
        {CddbServer::Mode::Empty, kId},
        {CddbServer::Mode::StatusOnly, kId},
        {CddbServer::Mode::CrLfInTokens, kId},
        {CddbServer::Mode::DotDotCategory, kId},
        {CddbServer::Mode::Reset, kId},
        {CddbServer::Mode::Silence, kId},
    };
    for (const Case& c : cases) {
        server.SetMode(c.mode);
        HTTPQueryTimeouts = c.mode == CddbServer::Mode::Silence ? kQuickTimeouts : HTTPTimeouts{};
        const size_t before = server.Requests().size();
        EXPECT_FALSE(Lookup(c.id)) << static_cast<int>(c.mode);
        // The server notes a request once it has read it, which a client that gave up does not wait for.
        PollUntil([&] { return server.Requests().size() > before; });
        EXPECT_EQ(server.Requests().size(), before + 1) << static_cast<int>(c.mode) << ": no read request";
    }
}

TEST_F(CddbTest, AServerSpeakingUtf8AtEveryLevelIsReadAsUtf8)
{
    server.SetMode(CddbServer::Mode::AlwaysUtf8);
    ASSERT_TRUE(Lookup());
    EXPECT_EQ(titles[2], "Caf\xc3\xa9");
}

// The read answer's status is not examined: a 401 gives no titles, which the ripper's track count
// check then refuses.
TEST_F(CddbTest, AFailedReadGivesNoTitles)
{
    server.SetMode(CddbServer::Mode::ReadNotFound);
    EXPECT_TRUE(Lookup());
    EXPECT_TRUE(titles.empty());
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(CddbTest, NoServerFailsQuietly)
{
    CDDBServer = {"no-such-host.invalid", 80};
    EXPECT_FALSE(Lookup());
    EXPECT_TRUE(titles.empty());
}

// Well-formed UTF-8 stays; anything else (cut, overlong, surrogate, beyond U+10FFFF, stray bytes)
// is read as ISO-8859-1, as the whole text.
TEST(CddbText, OnlyWellFormedUtf8StaysAndAnythingElseIsReadAsLatin1)
{
    struct Case {
        const char* what;
        std::string bytes;
        bool utf8;
    };
    const Case cases[] = {
        {"ASCII", "plain", true},
        {"two bytes", "Caf\xc3\xa9", true},
        {"U+0800, the first of three bytes", "\xe0\xa0\x80", true},
        {"U+D7FF, below the surrogates", "\xed\x9f\xbf", true},
        {"U+E000, above the surrogates", "\xee\x80\x80", true},
        {"U+10000, the first of four bytes", "\xf0\x90\x80\x80", true},
        {"U+10FFFF, the last", "\xf4\x8f\xbf\xbf", true},
        {"Latin-1", "Caf\xe9", false},
        {"a cut sequence", "\xc3", false},
        {"a cut three-byte sequence", "x\xe2\x82", false},
        {"a stray continuation byte", "\x80x", false},
        {"overlong '/' in two bytes", "\xc0\xaf", false},
        {"overlong in two bytes, C1", "\xc1\xbf", false},
        {"overlong '/' in three bytes", "\xe0\x80\xaf", false},
        {"overlong U+07FF in three bytes", "\xe0\x9f\xbf", false},
        {"overlong '/' in four bytes", "\xf0\x80\x80\xaf", false},
        {"overlong U+FFFF in four bytes", "\xf0\x8f\xbf\xbf", false},
        {"surrogate U+D800", "a\xed\xa0\x80", false},
        {"surrogate U+DFFF", "\xed\xbf\xbf", false},
        {"U+110000", "\xf4\x90\x80\x80", false},
        {"lead F5", "\xf5\x80\x80\x80", false},
        {"lead F7", "\xf7\xbf\xbf\xbf", false},
        {"five bytes", "\xf8\x88\x80\x80\x80", false},
        {"a bad continuation", "\xe2\x28\xa1", false},
    };
    for (const Case& c : cases) {
        const std::string expected = c.utf8 ? c.bytes : QString::fromLatin1(c.bytes.data(), c.bytes.size()).toStdString();
        EXPECT_EQ(CDDBTextToUtf8(c.bytes), expected) << c.what;
    }
}

// Titles of a server that sends bytes as they are reach the ripper as well-formed UTF-8.
TEST_F(CddbTest, MalformedUtf8FromTheServerIsReadAsLatin1)
{
    server.SetMode(CddbServer::Mode::AlwaysUtf8);
    server.AddDisc({"rock", "0a0b0c0d", "Band / \xf5\x80\x80\x80", {"\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc0\xaf"}});
    ASSERT_TRUE(Lookup("0a0b0c0d 3 150 20000 40000 700"));
    EXPECT_EQ(discTitle, "Band / \xc3\xb5\xc2\x80\xc2\x80\xc2\x80");
    EXPECT_EQ(titles, (std::vector<std::string>{"\xc3\xad\xc2\xa0\xc2\x80", "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80",
                                                "\xc3\x80\xc2\xaf"}));
}

} // namespace
