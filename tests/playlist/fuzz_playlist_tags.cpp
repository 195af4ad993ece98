// Fuzz entry for the tag reader: the input is a media file (a WAV when it starts "RIFF",
// otherwise an MP3), read through AddFileToList as a dropped file would be.
#include "cliplistmodel.h"
#include "songrecord.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const bool riff = size >= 4 && std::memcmp(data, "RIFF", 4) == 0;
    const QString path = dir.filePath(riff ? "fuzz.wav" : "fuzz.mp3");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    ClipListModel list;
    AddFileToList(path, 0, list);
    if (list.count() != 1 || list.text(1, ClipListModel::ColLocation) != path)
        std::abort();
    return 0;
}
