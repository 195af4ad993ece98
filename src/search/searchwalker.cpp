#include "search/searchwalker.h"

#include "base/filename.h"
#include "search/dirlisting.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace volaro::search {

namespace {

// Directories kept open for openat() of their children. A deep but narrow tree closes
// each level as soon as its last subdirectory is entered, so this bounds only very bushy
// deep trees; beyond it children are opened by full path.
constexpr int MaxOpenDirs = 256;

} // namespace

struct SearchWalker::Frame {
    QString path;
    DIR* dir = nullptr; // open while subdirectories remain to be entered
    int* openCount = nullptr;
    std::vector<std::pair<QString, QByteArray>> subdirs; // by name: shown name, raw name
    QStringList files;                                   // matching, by name
    qsizetype next = 0;                                  // subdirectories still to enter

    void closeDir() {
        if (dir) {
            closedir(dir);
            dir = nullptr;
            --*openCount;
        }
    }
    ~Frame() { closeDir(); }
};

SearchWalker::SearchWalker(Hooks hooks)
    : m_hooks(std::move(hooks)) {}

SearchWalker::Entry SearchWalker::enter(const QString& path, Frame* parent, const QByteArray& name,
                                        Frame& out) {
    out.path = path;
    out.openCount = &m_openDirs;
    m_currentDir = path;
    m_hooks.setCaption(path);
    if (yieldDue() && !yieldNow())
        return Entry::Gone;
    if (!m_keepSearching)
        return Entry::Abandoned;
    ++m_dirsEntered;

    int fd;
    if (parent && parent->dir)
        fd = openat(dirfd(parent->dir), name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    else
        fd = open(base::fileNameBytes(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        // Unreadable, vanished or too deep for a path: nothing to list here.
        ++m_dirsSkipped;
        return Entry::Listed;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !m_visited.insert({quint64(st.st_dev), quint64(st.st_ino)}).second) {
        close(fd); // seen before through a link: its contents are already listed
        return Entry::Listed;
    }
    DIR* d = fdopendir(fd);
    if (!d) {
        close(fd);
        ++m_dirsSkipped;
        return Entry::Listed;
    }
    const int dfd = dirfd(d);
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue; // hidden, and "." / ".."
        bool isDir = false, isFile = false;
        if (e->d_type == DT_DIR) {
            isDir = true;
        } else if (e->d_type == DT_REG) {
            isFile = true;
        } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat ls;
            if (fstatat(dfd, e->d_name, &ls, 0) != 0)
                continue; // dangling link
            isDir = S_ISDIR(ls.st_mode);
            isFile = S_ISREG(ls.st_mode);
        }
        if (isDir) {
            out.subdirs.emplace_back(base::fileNameFromBytes(e->d_name), QByteArray(e->d_name));
        } else if (isFile) {
            const QString n = base::fileNameFromBytes(e->d_name);
            if (m_pattern.matches(n))
                out.files.append(n);
        }
    }
    std::sort(out.subdirs.begin(), out.subdirs.end(),
              [](const auto& a, const auto& b) { return DirListing::nameLess(a.first, b.first); });
    std::sort(out.files.begin(), out.files.end(), DirListing::nameLess);
    out.next = qsizetype(out.subdirs.size());
    if (out.next > 0 && m_openDirs < MaxOpenDirs) {
        out.dir = d;
        ++m_openDirs;
    } else {
        closedir(d);
    }
    return Entry::Listed;
}

bool SearchWalker::yieldDue() const {
    return m_yieldMs <= 0 || !m_sinceYield.isValid() || m_sinceYield.elapsed() >= m_yieldMs;
}

bool SearchWalker::yieldNow() {
    const bool stay = m_hooks.processEvents();
    m_sinceYield.start();
    return stay;
}

bool SearchWalker::listFiles(Frame& f, bool& gone) {
    for (const QString& name : std::as_const(f.files)) {
        if (!m_hooks.addFile(SearchText::joinPath(f.path, name))) {
            m_hooks.showMessage(QString::fromUtf8(ListFullMessage));
            return false;
        }
        const qint64 n = SearchText::counterValue(m_hooks.counterText()) + 1;
        m_hooks.setCaption(SearchText::searchingCaption(n));
        m_hooks.setCounterText(SearchText::numberText(n));
        // Keeps the player's timers running through a directory of thousands of files. A
        // cancel pressed here still lets the rest of this directory through.
        if (yieldDue() && !yieldNow()) {
            gone = true;
            return false;
        }
    }
    return m_keepSearching;
}

bool SearchWalker::WalkDirectory(const QString& dirPath, const QString& parentPath) {
    m_visited.clear();
    m_currentDir = dirPath;
    m_keepSearching = true;
    m_sinceYield.invalidate(); // the first directory always lets events through

    std::vector<std::unique_ptr<Frame>> stack;
    auto root = std::make_unique<Frame>();
    if (enter(dirPath, nullptr, QByteArray(), *root) != Entry::Listed)
        return true;
    stack.push_back(std::move(root));

    while (!stack.empty()) {
        Frame& f = *stack.back();
        if (f.next > 0 && m_keepSearching) {
            --f.next;
            const auto& sub = f.subdirs[size_t(f.next)];
            auto child = std::make_unique<Frame>();
            const Entry r = enter(SearchText::joinPath(f.path, sub.first), &f, sub.second, *child);
            if (f.next == 0)
                f.closeDir();
            if (r == Entry::Gone)
                return true;
            if (r == Entry::Abandoned) {
                m_hooks.setCaption(QString::fromUtf8(SearchText::RestingCaption));
                return true;
            }
            stack.push_back(std::move(child));
            continue;
        }
        f.closeDir();
        bool gone = false;
        if (!listFiles(f, gone)) {
            m_currentDir = f.path;
            if (!gone)
                m_hooks.setCaption(QString::fromUtf8(SearchText::RestingCaption));
            return true;
        }
        stack.pop_back();
        if (!stack.empty())
            m_currentDir = stack.back()->path;
        else if (!parentPath.isEmpty())
            m_currentDir = parentPath;
    }
    return false;
}

} // namespace volaro::search
