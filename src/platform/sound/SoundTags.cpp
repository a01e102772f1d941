#include "platform/sound/SoundTags.h"

#include "platform/sound/CDInternal.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>

bool TAGS_ReadArtistTitle(const std::string& path, std::string& artist, std::string& title)
{
    int drive = 0;
    int track = 0;
    if (sound::ParseTrackAddress(path, drive, track))
        return sound::ReadTrackText(drive, track, artist, title);
    // TagLib takes the path's bytes as they are: names that are not UTF-8 open too.
    const TagLib::FileRef file(path.c_str(), false);
    if (file.isNull() || !file.tag())
        return false;
    artist = file.tag()->artist().to8Bit(true);
    title = file.tag()->title().to8Bit(true);
    return true;
}
