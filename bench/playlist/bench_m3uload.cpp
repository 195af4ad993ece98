// Loading 10,000 tagged MP3s listed in an M3U file into a shown playlist (progress bar and
// status label updated per line), next to TagLib's bare read of the same files, and the
// longest step the window had to wait for between two batches of rows.
// Usage: bench_m3uload [files]   (default 10000; files are generated in a temporary folder)

#include "playlist/cliplistview.h"
#include "playlist/playlistfile.h"
#include "support/fixtures.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <cstdio>
#include <taglib/fileref.h>
#include <taglib/tag.h>

using namespace volaro::playlist;

namespace {

QByteArray frame(const char* id, const QByteArray& body) {
    QByteArray f(id, 4);
    const quint32 n = body.size();
    f += char(n >> 24);
    f += char((n >> 16) & 0xff);
    f += char((n >> 8) & 0xff);
    f += char(n & 0xff);
    f += QByteArray(2, '\0');
    return f + body;
}

QByteArray text(const QByteArray& s) {
    return QByteArray(1, '\0') + s;
}

// An ID3v2.3 tag with the six details, built directly so 10,000 files take a moment.
QByteArray id3v23(int i) {
    const QByteArray n = QByteArray::number(i);
    QByteArray frames =
        frame("TIT2", text("Benchmark Song " + n)) +
        frame("TPE1", text("Artist " + QByteArray::number(i % 97))) +
        frame("TALB", text("Album " + QByteArray::number(i % 31))) +
        frame("TYER", text(QByteArray::number(1970 + i % 50))) + frame("TCON", text("Electronic")) +
        frame("COMM", QByteArray(1, '\0') + "eng" + QByteArray(1, '\0') + "Comment " + n);
    QByteArray header("ID3\x03\x00\x00", 6);
    quint32 size = frames.size();
    QByteArray syncsafe(4, '\0');
    for (int k = 3; k >= 0; --k) {
        syncsafe[k] = char(size & 0x7f);
        size >>= 7;
    }
    return header + syncsafe + frames;
}

struct BarProgress : ListProgress {
    QProgressBar bar;
    QLabel panel;
    QElapsedTimer sinceAnswer;
    qint64 longestStepMs = 0;
    BarProgress() {
        letWindowAnswer = [this] {
            longestStepMs = std::max(longestStepMs, sinceAnswer.elapsed());
            QApplication::processEvents();
            sinceAnswer.restart();
        };
        setProgress = [this](int percent) { bar.setValue(percent); };
        setStatusText = [this](const QString& t) { panel.setText(t); };
        showWebAddress = [this] { panel.setText(QStringLiteral("https://volaro.example")); };
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;

    QTemporaryDir dir;
    const QString bare = dir.filePath("bare.mp3");
    volaro::fixtures::Signal s;
    s.seconds = 0.2;
    if (!volaro::fixtures::writeMp3(bare, s, volaro::fixtures::Mp3Kind::CbrNoHeader, 64))
        return 1;
    QFile bareFile(bare);
    if (!bareFile.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray audio = bareFile.readAll();
    QStringList paths;
    QByteArray m3u = "#EXTM3U\r\n";
    for (int i = 0; i < files; ++i) {
        const QString p =
            dir.filePath(QStringLiteral("song%1.mp3").arg(i, 5, 10, QLatin1Char('0')));
        if (!volaro::fixtures::writeBytes(p, id3v23(i) + audio))
            return 1;
        paths << p;
        m3u += QFile::encodeName(p) + "\r\n";
    }
    const QString list = dir.filePath("bench.m3u");
    if (!volaro::fixtures::writeBytes(list, m3u))
        return 1;

    auto bareRead = [&] {
        size_t chars = 0;
        for (const QString& p : paths) {
            TagLib::FileRef f(QFile::encodeName(p).constData(), false);
            if (const TagLib::Tag* t = f.isNull() ? nullptr : f.tag())
                chars += t->title().size() + t->artist().size() + t->album().size() +
                         t->comment().size() + t->genre().size() + t->year();
        }
        return chars;
    };
    bareRead(); // warm the cache

    ClipListView view;
    view.setupColumns();
    view.resize(900, 600);
    view.show();
    BarProgress progress;
    progress.bar.show();
    progress.panel.show();
    app.processEvents();

    double bestBare = 1e9, bestLoad = 1e9;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        volatile size_t sink = bareRead();
        (void)sink;
        bestBare = std::min(bestBare, t.nsecsElapsed() / 1e9);

        t.restart();
        progress.sinceAnswer.start();
        LoadPlayList(list, true, view.clipModel(), &progress);
        progress.letWindowAnswer();
        bestLoad = std::min(bestLoad, t.nsecsElapsed() / 1e9);
        if (view.clipModel().count() != files ||
            view.clipModel().text(files, 0) != QStringLiteral("Benchmark Song %1").arg(files - 1))
            return 2;
    }
    std::printf("M3U of %d tagged MP3s, warm cache, best of 3\n", files);
    std::printf("  bare TagLib read   %7.3f s  (%.0f files/s)\n", bestBare, files / bestBare);
    std::printf("  LoadPlayList       %7.3f s  (%.0f files/s)\n", bestLoad, files / bestLoad);
    std::printf("  ratio              %7.2fx  (goal < 1.7x)\n", bestLoad / bestBare);
    std::printf("  longest step       %7lld ms (goal <= 100 ms)\n", progress.longestStepMs);
    return 0;
}
