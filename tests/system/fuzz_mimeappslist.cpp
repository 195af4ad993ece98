// Fuzz target: any mimeapps.list content. The edit must be stable (a second run changes
// nothing), must leave every line outside [Default Applications] as it was and in order,
// and must leave our three types pointing at us.

#include "mimeappslist.h"

#include <cstdint>
#include <cstdlib>

namespace {

const QByteArrayList Types = {"audio/mpeg", "audio/x-mpegurl", "audio/mpegurl"};

bool isDefaultsHeader(const QByteArray& line) {
    return line.trimmed() == "[Default Applications]";
}

bool isHeader(const QByteArray& line) {
    const QByteArray t = line.trimmed();
    return t.size() >= 2 && t.startsWith('[') && t.endsWith(']');
}

// Lines outside every [Default Applications] group, blank lines left out.
QByteArrayList foreignLines(const QByteArray& content) {
    QByteArrayList out;
    bool inDefaults = false;
    for (const QByteArray& line : content.split('\n')) {
        if (isHeader(line))
            inDefaults = isDefaultsHeader(line);
        if (!inDefaults && !line.trimmed().isEmpty())
            out << line;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray once =
        volaro::system::withDefaultApplication(content, Types, "volaro.desktop");
    if (volaro::system::withDefaultApplication(once, Types, "volaro.desktop") != once)
        std::abort();
    if (foreignLines(once) != foreignLines(content))
        std::abort();

    // Reading the first [Default Applications] group back finds every type set to us.
    QList<bool> seen(Types.size(), false);
    int group = 0;
    for (const QByteArray& line : once.split('\n')) {
        if (isHeader(line)) {
            group += isDefaultsHeader(line) ? 1 : 0;
            if (!isDefaultsHeader(line) && group == 1)
                group = 2;
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (group != 1 || eq <= 0 || line.trimmed().startsWith('#'))
            continue;
        const qsizetype t = Types.indexOf(line.left(eq).trimmed());
        if (t < 0)
            continue;
        if (line.mid(eq + 1).trimmed() != "volaro.desktop;")
            std::abort();
        seen[t] = true;
    }
    if (seen.contains(false))
        std::abort();
    return 0;
}
