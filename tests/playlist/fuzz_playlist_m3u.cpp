// Fuzz entry for the list-file reader: the input is the content of an M3U file.
#include "cliplistmodel.h"
#include "playlistfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {
class CountingProgress : public ListProgress {
public:
    void setProgress(int percent) override {
        if (percent < 0 || percent > 100)
            std::abort();
    }
    void setStatusText(const QString&) override {}
    void showWebAddress() override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath("fuzz.m3u");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    ClipListModel list;
    int16_t currentIndex = 1;
    list.setCurrentIndexField(&currentIndex);
    CountingProgress progress;
    OpenFile(path, true, 0, list, &progress);
    if (list.count() > ClipListModel::MaxRows || currentIndex != 0)
        std::abort();
    const QString saved = dir.filePath("saved.m3u");
    if (!SavePlayList(saved, list).isEmpty())
        std::abort();
    return 0;
}
