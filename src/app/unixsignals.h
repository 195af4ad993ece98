#pragma once

// Turns SIGTERM and SIGINT into a Qt signal on the GUI thread (self-pipe), so the
// ordinary shutdown runs instead of the process dying mid-write.

#include <QObject>

class QSocketNotifier;

class UnixSignals final : public QObject {
    Q_OBJECT
public:
    explicit UnixSignals(QObject* parent = nullptr);
    ~UnixSignals() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};
