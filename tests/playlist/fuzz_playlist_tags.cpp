// Fuzz entry for the tag reader: the input is the content of a media file, read from
// memory the way ReadTag reads a file, so that each run costs no file system work.
#include "playlist/tagreader.h"

#include <cstdint>
#include <cstdlib>

using namespace volaro::playlist;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TagReader reader;
    const bool found = reader.readTagFromBytes(reinterpret_cast<const char*>(data), size);
    const bool empty = (reader.Title() + reader.Artist() + reader.Album() + reader.Comment() +
                        reader.Year() + reader.Genre())
                           .isEmpty();
    // A tag reported found holds something; one not found leaves every detail empty.
    if (!found && !empty)
        std::abort();
    return 0;
}
