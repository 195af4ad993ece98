#include "support/tagfixtures.h"

#include "base/filename.h"
#include "support/codecfixtures.h"
#include "support/fixtures.h"

#include <QFile>
#include <taglib/apetag.h>
#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
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

// One ID3v2.2 frame: three-letter id, 24-bit size, then the body (encoding 0: ISO-8859-1).
QByteArray v22Frame(const char* id, const QByteArray& body) {
    const quint32 n = body.size() + 1;
    return QByteArray(id, 3) + char((n >> 16) & 0xff) + char((n >> 8) & 0xff) + char(n & 0xff) +
           '\0' + body;
}

bool writeId3v22(const QString& path, const SongTags& t) {
    QByteArray frames;
    const QString year = t.year ? QString::number(t.year) : QString();
    const std::pair<const char*, QString> texts[] = {
        {"TT2", t.title}, {"TP1", t.artist}, {"TAL", t.album}, {"TCO", t.genre}, {"TYE", year}};
    for (const auto& [id, text] : texts)
        if (!text.isEmpty())
            frames += v22Frame(id, text.toLatin1());
    if (!t.comment.isEmpty()) // language, empty description, text
        frames += v22Frame("COM", "eng" + QByteArray(1, '\0') + t.comment.toLatin1());
    QByteArray header("ID3\x02\x00\x00", 6);
    for (int shift = 21; shift >= 0; shift -= 7) // syncsafe size
        header += char((frames.size() >> shift) & 0x7f);
    return writeBytes(path, header + frames + readBytes(path));
}

} // namespace

bool tagSong(const QString& path, const QMap<QString, QString>& properties) {
    TagLib::FileRef file(QFile::encodeName(path).constData());
    if (file.isNull() || !file.tag())
        return false;
    TagLib::PropertyMap map = file.file()->properties();
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        map.replace(toT(it.key()), TagLib::StringList(toT(it.value())));
    file.file()->setProperties(map);
    return file.save();
}

bool writeTaggedSong(const QString& path, const SongTags& tags, TagKind kind) {
    const QByteArray native = volaro::base::fileNameBytes(path);
    Signal s;
    s.seconds = 0.2;
    s.amplitude = 0.1;
    if (kind == TagKind::WavId3v2 || kind == TagKind::WavInfo) {
        if (!writeWav(path, s))
            return false;
        TagLib::RIFF::WAV::File wav(native.constData());
        if (!wav.isValid())
            return false;
        const bool id3 = kind == TagKind::WavId3v2;
        fill(id3 ? static_cast<TagLib::Tag*>(wav.ID3v2Tag()) : wav.InfoTag(), tags);
        return wav.save(id3 ? TagLib::RIFF::WAV::File::ID3v2 : TagLib::RIFF::WAV::File::Info);
    }
    if (kind >= TagKind::Mp4Aac) {
        // Tagged under its own suffix (TagLib picks the writer by name), then renamed.
        const Codec codec = Codec(int(Codec::AacM4a) + int(kind) - int(TagKind::Mp4Aac));
        const QString own = path + ".tagging" + codecSuffix(codec);
        s.sampleRate = codecRate(codec);
        if (!writeEncoded(own, codec, render(s), s.sampleRate, s.channels))
            return false;
        TagLib::FileRef file(QFile::encodeName(own).constData(), false);
        if (file.isNull())
            return false;
        fill(file.tag(), tags);
        return file.save() && QFile::rename(own, path);
    }
    if (!writeMp3(path, s, Mp3Kind::CbrNoHeader, 64))
        return false;
    if (kind == TagKind::None)
        return true;
    if (kind == TagKind::Id3v22)
        return writeId3v22(path, tags);

    TagLib::MPEG::File mp3(native.constData(), false);
    if (!mp3.isValid())
        return false;
    auto* factory = TagLib::ID3v2::FrameFactory::instance();
    int tagType = TagLib::MPEG::File::ID3v2;
    TagLib::ID3v2::Version version = TagLib::ID3v2::v3;
    switch (kind) {
    case TagKind::Id3v1:
        tagType = TagLib::MPEG::File::ID3v1;
        fill(mp3.ID3v1Tag(true), tags);
        break;
    case TagKind::Ape:
        tagType = TagLib::MPEG::File::APE;
        fill(mp3.APETag(true), tags);
        break;
    default:
        factory->setDefaultTextEncoding(kind == TagKind::Id3v23Latin1  ? TagLib::String::Latin1
                                        : kind == TagKind::Id3v23Utf16 ? TagLib::String::UTF16
                                                                       : TagLib::String::UTF8);
        if (kind == TagKind::Id3v24Utf8)
            version = TagLib::ID3v2::v4;
        fill(mp3.ID3v2Tag(true), tags);
    }
    const bool ok =
        mp3.save(tagType, TagLib::File::StripOthers, version, TagLib::File::DoNotDuplicate);
    factory->setDefaultTextEncoding(TagLib::String::Latin1);
    return ok;
}

} // namespace volaro::fixtures
