#include "tagfixtures.h"

#include "fixtures.h"

#include <QFile>
#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>

namespace volaro::fixtures {

namespace {

TagLib::String toT(const QString& s) {
    return TagLib::String(s.toUtf8().toStdString(), TagLib::String::UTF8);
}

void fill(TagLib::Tag* tag, const SongTags& t) {
    tag->setTitle(toT(t.title));
    tag->setArtist(toT(t.artist));
    tag->setAlbum(toT(t.album));
    tag->setComment(toT(t.comment));
    tag->setGenre(toT(t.genre));
    tag->setYear(t.year);
}

QByteArray syncsafe(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 3; i >= 0; --i) {
        b[i] = char(v & 0x7f);
        v >>= 7;
    }
    return b;
}

QByteArray v22Frame(const char* id, const QString& text) {
    if (text.isEmpty())
        return {};
    QByteArray body = QByteArray(1, '\0') + text.toLatin1(); // encoding 0: ISO-8859-1
    QByteArray frame(id, 3);
    const quint32 n = body.size();
    frame += char((n >> 16) & 0xff);
    frame += char((n >> 8) & 0xff);
    frame += char(n & 0xff);
    return frame + body;
}

bool writeId3v22(const QString& path, const SongTags& t) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray audio = in.readAll();
    in.close();
    QByteArray frames = v22Frame("TT2", t.title) + v22Frame("TP1", t.artist) +
                        v22Frame("TAL", t.album) + v22Frame("TCO", t.genre) +
                        (t.year ? v22Frame("TYE", QString::number(t.year)) : QByteArray());
    if (!t.comment.isEmpty()) {
        // COM: encoding, language, empty description, text.
        QByteArray body = QByteArray(1, '\0') + "eng" + QByteArray(1, '\0') + t.comment.toLatin1();
        const quint32 n = body.size();
        frames += QByteArray("COM") + char((n >> 16) & 0xff) + char((n >> 8) & 0xff) +
                  char(n & 0xff) + body;
    }
    QByteArray header("ID3\x02\x00\x00", 6);
    header += syncsafe(frames.size());
    return writeBytes(path, header + frames + audio);
}

} // namespace

bool writeBareMp3(const QString& path, bool tiny) {
    Signal s;
    s.seconds = tiny ? 0.03 : 0.2;
    s.channels = tiny ? 1 : 2;
    s.amplitude = 0.1;
    return writeMp3(path, s, Mp3Kind::CbrNoHeader, 64);
}

bool writeTaggedSong(const QString& path, const SongTags& tags, TagKind kind, bool tiny) {
    const QByteArray native = QFile::encodeName(path);
    if (kind == TagKind::WavId3v2 || kind == TagKind::WavInfo) {
        Signal s;
        s.seconds = tiny ? 0.005 : 0.2;
        s.channels = tiny ? 1 : 2;
        s.sampleRate = tiny ? 8000 : 44100;
        if (!writeWav(path, s))
            return false;
        TagLib::RIFF::WAV::File wav(native.constData());
        if (!wav.isValid())
            return false;
        if (kind == TagKind::WavId3v2) {
            fill(wav.ID3v2Tag(), tags);
            return wav.save(TagLib::RIFF::WAV::File::ID3v2);
        }
        fill(wav.InfoTag(), tags);
        return wav.save(TagLib::RIFF::WAV::File::Info);
    }

    if (!writeBareMp3(path, tiny))
        return false;
    if (kind == TagKind::None)
        return true;
    if (kind == TagKind::Id3v22)
        return writeId3v22(path, tags);

    TagLib::MPEG::File mp3(native.constData(), false);
    if (!mp3.isValid())
        return false;
    auto* factory = TagLib::ID3v2::FrameFactory::instance();
    switch (kind) {
    case TagKind::Id3v1:
        fill(mp3.ID3v1Tag(true), tags);
        return mp3.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripOthers, TagLib::ID3v2::v4,
                        TagLib::File::DoNotDuplicate);
    case TagKind::Ape:
        fill(mp3.APETag(true), tags);
        return mp3.save(TagLib::MPEG::File::APE, TagLib::File::StripOthers, TagLib::ID3v2::v4,
                        TagLib::File::DoNotDuplicate);
    default:
        break;
    }
    TagLib::ID3v2::Version version = TagLib::ID3v2::v4;
    switch (kind) {
    case TagKind::Id3v23Latin1:
        factory->setDefaultTextEncoding(TagLib::String::Latin1);
        version = TagLib::ID3v2::v3;
        break;
    case TagKind::Id3v23Utf16:
        factory->setDefaultTextEncoding(TagLib::String::UTF16);
        version = TagLib::ID3v2::v3;
        break;
    default:
        factory->setDefaultTextEncoding(TagLib::String::UTF8);
        break;
    }
    fill(mp3.ID3v2Tag(true), tags);
    const bool ok = mp3.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, version,
                             TagLib::File::DoNotDuplicate);
    factory->setDefaultTextEncoding(TagLib::String::Latin1);
    return ok;
}

} // namespace volaro::fixtures
