#include "tagreader.h"

#include <QFile>
#include <sys/stat.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>
#include <taglib/wavfile.h>

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
    // Only regular files: a FIFO or device named like a song would block the reader.
    struct stat info {};
    if (::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // No audio properties: they cost a scan of the file and the tag is all we need.
    TagLib::FileRef file(native.constData(), false);
    if (file.isNull())
        return false;
    bool found = false;
    if (const TagLib::Tag* tag = file.tag()) {
        fillEmpty(*tag);
        found = !tag->isEmpty();
    }
    // TagLib's WAV tag is the ID3v2 chunk only; a RIFF INFO list fills what it lacks.
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.file()); wav && wav->hasInfoTag()) {
        fillEmpty(*wav->InfoTag());
        found = found || !wav->InfoTag()->isEmpty();
    }
    return found;
}

void TagReader::fillEmpty(const TagLib::Tag& tag) {
    auto fill = [](QString& field, const TagLib::String& value) {
        if (field.isEmpty())
            field = toQString(value);
    };
    fill(m_album, tag.album());
    fill(m_artist, tag.artist());
    fill(m_comment, tag.comment());
    fill(m_title, tag.title());
    if (m_year.isEmpty() && tag.year() != 0)
        m_year = QString::number(tag.year());
    fill(m_genre, tag.genre());
}
