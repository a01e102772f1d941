#pragma once

#include <string>

// The tag reader of the sound layer: the artist and title tags of a sound file, as UTF-8 whatever
// the tag's own encoding (Latin-1, UTF-16, UTF-8). MP3 (ID3v1/v2, APE), Ogg, FLAC, WMA, WAV, AIFF;
// a CD track address ("d:\track01.cda", SoundCD.h) gives the track's CD-TEXT performer and title.
//
// Reads the file or track at `path`; false when no tag reader takes it. An absent tag gives "".
bool TAGS_ReadArtistTitle(const std::string& path, std::string& artist, std::string& title);
