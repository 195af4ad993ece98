#pragma once

// FilePattern: the file-name wildcards of the search window's file list. "*" stands for
// any run of characters and "?" for exactly one; letter case is ignored. Several patterns
// may be given separated by ";" ("*.mp3;*.wav"), and "*.*" means every file, as users of
// the classic file dialogs expect.

#include <QString>
#include <QStringList>
#include <QStringView>

namespace volaro::search {

class FilePattern {
public:
    FilePattern(); // "*.mp3"

    // Parses text; returns false (and leaves the pattern as it was) when the text cannot be a
    // file pattern: empty, or holding "/" or control characters.
    bool setPattern(const QString& text);
    QString pattern() const { return m_text; }

    bool matches(QStringView name) const;

private:
    QString m_text;
    QStringList m_parts; // case-folded
    bool m_all = false;
};

namespace SearchText {

// The caption of the search window at rest.
inline constexpr const char* RestingCaption = "Search for MP3 files";

// Joins a directory and a name with one "/", none when the directory already ends with it
// (the root).
QString joinPath(const QString& dir, const QString& name);

// A whole number as shown in the counter: one blank, then its digits.
QString numberText(qint64 n);

// Reads a counter text back: leading blanks ignored, then the leading digits; 0 without any.
qint64 counterValue(const QString& text);

// "Searching... " + numberText(n) + " Files Found ".
QString searchingCaption(qint64 n);

} // namespace SearchText

} // namespace volaro::search
