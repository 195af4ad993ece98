#pragma once

// Turns SIGTERM and SIGINT into a Qt signal on the GUI thread (self-pipe), so the
// ordinary shutdown runs instead of the process dying mid-write.
//
// Call order: catchTermination() first thing in main(), before anything that may take
// time; a signal that comes before the UnixSignals object exists is kept and reported
// as soon as the event loop runs.

#include <QObject>

class QSocketNotifier;

namespace volaro::app {

class UnixSignals final : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. Async-signal-safe from then on; no Qt needed yet.
    static void catchTermination();

    explicit UnixSignals(QObject* parent = nullptr);
    ~UnixSignals() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace volaro::app
