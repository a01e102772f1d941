#pragma once

// The CDDB lookup: asks a CDDB server (the protocol over HTTP) for a disc's title and track
// titles in two requests, query and read.

#include <string>
#include <vector>

// Where the lookup goes; tests point it at a loopback server.
struct CDDBServerAddress {
    std::string host = "gnudb.gnudb.org";
    int port = 80;
};
extern CDDBServerAddress CDDBServer;

// One lookup's results.
class cCDDB_Talk {
public:
    explicit cCDDB_Talk(std::vector<std::string>* trackTitles) : TrackTitles(trackTitles) {}
    std::vector<std::string>* TrackTitles; // owned by the caller
    std::string DiscTitle;

    // Runs the query and the read for the CDDB query text `id`; throws std::runtime_error on any
    // failure ("Can't get information for this CD." when the server has no single exact match).
    void GetDiscInfo(const std::string& id);
};

// Runs GetDiscInfo; false when it threw (the exception goes no further).
bool RunCDDBQuery(cCDDB_Talk& talk, const std::string& id);

// A title as the server sent it, as UTF-8: valid UTF-8 stays, anything else is read as ISO-8859-1.
std::string CDDBTextToUtf8(const std::string& text);
