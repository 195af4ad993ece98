// Fuzz target: any mimeapps.list. The edit is stable, keeps every line outside [Default
// Applications] in order, and points our three types at us in the first such group.

#include "system/mimeappslist.h"

#include <cstdint>
#include <cstdlib>

namespace {

const QByteArrayList Types = {"audio/mpeg", "audio/x-mpegurl", "audio/mpegurl"};

// Lines outside every [Default Applications] group, blank lines left out. With `seen`, also
// marks each of our types the first such group sets, and aborts when it sets one otherwise.
QByteArrayList foreignLines(const QByteArray& content, QList<bool>* seen = nullptr) {
    QByteArrayList out;
    int defaultGroups = 0;
    bool inDefaults = false;
    for (const QByteArray& line : content.split('\n')) {
        const QByteArray t = line.trimmed();
        if (t.size() >= 2 && t.startsWith('[') && t.endsWith(']')) {
            inDefaults = t == "[Default Applications]";
            defaultGroups += inDefaults ? 1 : 0;
        }
        if (!inDefaults) {
            if (!t.isEmpty())
                out << line;
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (!seen || defaultGroups != 1 || eq <= 0 || t.startsWith('#'))
            continue;
        const qsizetype type = Types.indexOf(line.left(eq).trimmed());
        if (type >= 0 && line.mid(eq + 1).trimmed() != "volaro.desktop;")
            std::abort();
        if (type >= 0)
            (*seen)[type] = true;
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
    QList<bool> seen(Types.size(), false);
    if (foreignLines(once, &seen) != foreignLines(content) || seen.contains(false))
        std::abort();
    return 0;
}
