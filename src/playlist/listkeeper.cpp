#include "playlist/listkeeper.h"

#include "base/atomicfile.h"
#include "base/productinfo.h"
#include "playlist/cliplistmodel.h"
#include "playlist/playlistfile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <optional>

namespace volaro::playlist {

namespace {

// The longest list that can be whole: every row at the longest path, and the two header lines.
constexpr qint64 MaxFileBytes = qint64(ClipListModel::MaxRows) * (4096 + 2) + 256;

struct Kept {
    int rows = 0;
    int playing = 0;
};

// The row count and playing row of a whole list as save() writes it; nothing for any other
// bytes. Lines are split as the list reader splits them, so the counts agree.
std::optional<Kept> wholeList(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError() || !text.endsWith(QLatin1String("\r\n")))
        return std::nullopt;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    static const QRegularExpression state(
        QStringLiteral("^#VOLARO-STATE:rows=(\\d{1,5}),playing=(-?\\d{1,5})$"));
    const QStringList lines = text.chopped(2).split(lineEnd);
    if (lines.size() < 2 || lines[0] != QLatin1String("#EXTM3U"))
        return std::nullopt;
    const QRegularExpressionMatch m = state.match(lines[1]);
    if (!m.hasMatch())
        return std::nullopt;
    const Kept kept{m.captured(1).toInt(), m.captured(2).toInt()};
    const auto entries = std::count_if(lines.begin() + 2, lines.end(), [](const QString& line) {
        return !line.startsWith(QLatin1Char('#'));
    });
    if (entries != kept.rows || kept.rows > ClipListModel::MaxRows || kept.playing < -1 ||
        kept.playing > kept.rows)
        return std::nullopt;
    return kept;
}

} // namespace

ListKeeper::ListKeeper(ClipListModel& list, QString file, QObject* parent)
    : QObject(parent)
    , m_list(list)
    , m_file(std::move(file)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(SaveDelayMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { save(); });
    connect(&list, &QAbstractItemModel::rowsInserted, this, &ListKeeper::changed);
    connect(&list, &QAbstractItemModel::rowsRemoved, this, &ListKeeper::changed);
    connect(&list, &QAbstractItemModel::modelReset, this, &ListKeeper::changed);
    connect(&list, &QAbstractItemModel::layoutChanged, this, &ListKeeper::changed);
    connect(&list, &ClipListModel::playingRowChanged, this, &ListKeeper::changed);
}

QString ListKeeper::defaultFile() {
    QString folder = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(folder))
        folder = QDir::homePath() + QStringLiteral("/.local/state");
    return folder + u'/' + QLatin1String(base::ProductName) + QStringLiteral("/playlist.m3u8");
}

QString ListKeeper::restore() {
    const QFileInfo info(m_file);
    if (!info.exists() && !info.isSymLink())
        return {};
    // Only a regular file is opened: a FIFO or a device would block or never end.
    QFile file(m_file);
    QByteArray bytes;
    std::optional<Kept> kept;
    if (info.isFile() && info.size() <= MaxFileBytes && file.open(QIODevice::ReadOnly)) {
        bytes = file.readAll();
        kept = wholeList(bytes);
    }
    if (!kept) {
        // Kept for whoever wants to look at it; the next save starts a new list.
        const QString aside = m_file + QStringLiteral(".damaged");
        QFile::remove(aside);
        return QFile::rename(m_file, aside) ? aside : m_file;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ReadPlayList(buffer, info.absolutePath(), true, m_list);
    m_list.setPlayingRow(kept->playing);
    return {};
}

void ListKeeper::setEnabled(bool on) {
    m_enabled = on;
    if (on)
        save();
    else
        m_timer.stop();
}

void ListKeeper::changed() {
    if (m_enabled && !m_timer.isActive())
        m_timer.start();
}

QString ListKeeper::save() {
    m_timer.stop();
    if (!m_enabled)
        return {};
    // A state folder of our own is private to the user.
    const QString folder = QFileInfo(m_file).absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder))
            return QStringLiteral("The folder %1 cannot be created.").arg(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const int rows = m_list.count();
    const QByteArray header =
        "#EXTM3U\r\n#VOLARO-STATE:rows=" + QByteArray::number(rows) +
        ",playing=" + QByteArray::number(std::clamp(m_list.playingRow(), -1, rows)) + "\r\n";
    return base::writeFileAtomically(m_file, header + PlayListText(m_list));
}

} // namespace volaro::playlist
