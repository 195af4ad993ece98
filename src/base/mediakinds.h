#pragma once

// The kinds of file Volaro plays and the lists it reads: the one table every place that
// offers or recognises them reads (the Open dialog, the player on the session bus, the
// desktop entry, which the build fills from the rows below). Which decoder plays a file
// is decided on its content, not on these names.

#include <QString>
#include <QStringList>

namespace volaro::base {

struct MediaKind {
    const char* suffix;   // without the dot, lower case
    const char* mimeType; // as shared-mime-info names it
};

// Rows in this form, suffix then type: the build reads the MIME types from here.
inline constexpr MediaKind PlayableKinds[] = {
    {"mp3", "audio/mpeg"},         {"mp2", "audio/mp2"},         {"wav", "audio/x-wav"},
    {"wav", "audio/wav"},          {"flac", "audio/flac"},       {"ogg", "audio/ogg"},
    {"oga", "audio/x-vorbis+ogg"}, {"opus", "audio/x-opus+ogg"}, {"m4a", "audio/mp4"},
    {"m4b", "audio/x-m4b"},        {"aac", "audio/aac"},         {"wma", "audio/x-ms-wma"},
    {"wv", "audio/x-wavpack"},     {"ape", "audio/x-ape"},       {"aiff", "audio/x-aiff"},
    {"aif", "audio/x-aiff"},       {"au", "audio/basic"},        {"mka", "audio/x-matroska"},
    {"tta", "audio/x-tta"},        {"mpc", "audio/x-musepack"},  {"ac3", "audio/ac3"},
    {"caf", "audio/x-caf"},
};

inline constexpr MediaKind ListKinds[] = {
    {"m3u", "audio/x-mpegurl"},
    {"m3u8", "audio/mpegurl"},
};

// "*.mp3 *.MP3 *.wav ..." for a file dialog's filter.
inline QString dialogPatterns(const MediaKind* begin, const MediaKind* end) {
    QStringList patterns;
    for (const MediaKind* k = begin; k != end; ++k) {
        const QString pattern = QStringLiteral("*.") + QString::fromLatin1(k->suffix);
        if (!patterns.contains(pattern))
            patterns << pattern << pattern.toUpper();
    }
    return patterns.join(u' ');
}

// Every MIME type of both tables, each once, in table order.
inline QStringList playableMimeTypes() {
    QStringList types;
    for (const MediaKind& k : PlayableKinds)
        if (!types.contains(QLatin1String(k.mimeType)))
            types << QString::fromLatin1(k.mimeType);
    for (const MediaKind& k : ListKinds)
        types << QString::fromLatin1(k.mimeType);
    return types;
}

} // namespace volaro::base
