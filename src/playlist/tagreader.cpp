#include "tagreader.h"

#include <QFile>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>

namespace {
QString toQString(const TagLib::String& s) {
    if (s.isEmpty())
        return {};
    // TagLib decodes Latin-1, UTF-16 and UTF-8 frames itself; hand the text over as UTF-8.
    const std::string utf8 = s.to8Bit(true);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
} // namespace

void TagReader::setFilename(const QString& path) {
    m_path = path;
    clearDetails();
}

void TagReader::clearDetails() {
    m_album.clear();
    m_artist.clear();
    m_comment.clear();
    m_title.clear();
    m_year.clear();
    m_genre.clear();
}

bool TagReader::ReadTag() {
    clearDetails();
    if (m_path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(m_path);
    // No audio properties: they cost a scan of the file and the tag is all we need.
    TagLib::FileRef file(native.constData(), false);
    if (file.isNull())
        return false;
    const TagLib::Tag* tag = file.tag();
    if (!tag)
        return false;
    m_album = toQString(tag->album());
    m_artist = toQString(tag->artist());
    m_comment = toQString(tag->comment());
    m_title = toQString(tag->title());
    const unsigned year = tag->year();
    if (year != 0)
        m_year = QString::number(year);
    m_genre = toQString(tag->genre());
    return true;
}
