#include "support/sinkcapture.h"

#include <QTest>

namespace volaro::capture {

SinkCapture::SinkCapture(const QString& sink, const QString& path)
    : capture(path) {
    const QString name =
        sink.isEmpty() ? qEnvironmentVariable("VOLARO_SINKS").section(u' ', 0, 0) : sink;
    m_parec.setStandardOutputFile(path);
    m_parec.start(QStringLiteral("parec"),
                  {QStringLiteral("-d"), name + QStringLiteral(".monitor"),
                   QStringLiteral("--format=float32le"), QStringLiteral("--channels=2"),
                   QStringLiteral("--rate=%1").arg(Rate), QStringLiteral("--latency-msec=20")});
    m_parec.waitForStarted();
}

SinkCapture::~SinkCapture() {
    m_parec.kill();
    m_parec.waitForFinished();
}

bool SinkCapture::started() {
    return m_parec.state() == QProcess::Running && capture.waitFor(Rate / 10);
}

std::vector<float> SinkCapture::last(double seconds) const {
    const auto count = static_cast<int64_t>(seconds * Rate);
    return capture.read(capture.frames() - count, count);
}

bool SinkCapture::hears(double frequency, int timeoutMs, double amplitude) const {
    for (int waited = 0;; waited += 50) {
        const std::vector<float> s = last(0.25);
        if (frequency > 0 ? toneAmplitude(s, 2, 0, Rate, frequency) > amplitude
                          : rms(s, 2, 0) > 0.05)
            return true;
        if (waited >= timeoutMs)
            return false;
        QTest::qWait(50);
    }
}

double SinkCapture::heard(double frequency, double seconds) const {
    QTest::qWait(static_cast<int>(seconds * 1000));
    return toneAmplitude(last(0.3), 2, 0, Rate, frequency);
}

} // namespace volaro::capture
