// Fuzz entry for the list reader: a list file's content, read from memory beside a few songs
// for relative entries to find; inputs of odd size are read as .m3u8, the others as .m3u.
#include "playlist/cliplistmodel.h"
#include "playlist/playlistfile.h"
#include "support/playlisttest.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

using namespace volaro::playlist;

namespace {
const ListProgress checkedProgress = [] {
    ListProgress p;
    p.setProgress = [](int percent) {
        if (percent < 0 || percent > 100)
            std::abort();
    };
    return p;
}();

QString songFolder() {
    static QTemporaryDir dir;
    for (const char* name : {"a.mp3", "Music/b c.mp3", "Music/sub/\xC3\xA9.mp3"})
        volaro::fixtures::writeBytes(dir.filePath(QString::fromUtf8(name)), {});
    return dir.path();
}

ListRead read(const QByteArray& bytes, bool utf8Only, ClipListModel& list,
              const ListProgress* progress = nullptr) {
    static const QString folder = songFolder();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadPlayList(buffer, folder, utf8Only, list, progress);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ClipListModel list;
    if (!read(bytes, size % 2 == 1, list, &checkedProgress) ||
        list.count() > ClipListModel::MaxRows)
        std::abort();
    // Saved and read back, the list holds the same Locations.
    ClipListModel back;
    if (!read(PlayListText(list), false, back) || locations(back) != locations(list))
        std::abort();
    return 0;
}
