#pragma once

// Generators for the media files tests and benchmarks use: tones and noise written as
// WAV (libsndfile) or MP3 (LAME) of every kind the player must measure exactly.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace volaro::fixtures {

struct Signal {
    double frequency = 440.0; // Hz; 0 gives silence (or pure noise with noise > 0)
    double seconds = 1.0;
    int sampleRate = 44100, channels = 2;
    double amplitude = 0.5; // peak of the tone, full scale 1.0
    double noise = 0.0;     // peak of white noise added to the tone (makes VBR vary)
    unsigned seed = 1;
};

// Interleaved float samples of the signal.
std::vector<float> render(const Signal& s);

// 16-bit PCM WAV (32-bit float with asFloat: no quantisation noise); false if not written.
bool writeWav(const QString& path, const Signal& s, bool asFloat = false);

enum class Mp3Kind {
    Cbr,         // constant bit rate with LAME's "Info" header frame
    CbrNoHeader, // constant bit rate, no header frame
    VbrXing,     // variable bit rate with the Xing/LAME header giving the length
    VbrNoHeader  // variable bit rate with no header frame: the length needs a scan
};

// MPEG-1 Layer III. bitrate is the CBR rate, or the VBR quality 0..9 for the VBR kinds.
bool writeMp3(const QString& path, const Signal& s, Mp3Kind kind, int bitrate = 128);
// The same of the given interleaved samples.
bool writeMp3Samples(const QString& path, const std::vector<float>& samples, int sampleRate,
                     int channels, Mp3Kind kind, int bitrate = 128);

// 16-bit PCM WAV (16-bit FLAC when the path ends in .flac; float WAV with asFloat) of the
// given interleaved samples (e.g. pieces of render() joined).
bool writeWavSamples(const QString& path, const std::vector<float>& samples, int sampleRate,
                     int channels, bool asFloat = false);

// Writes a file of the given bytes (for corrupt or odd inputs), making its folder.
bool writeBytes(const QString& path, const QByteArray& bytes);
// The whole file, or "<unreadable>".
QByteArray readBytes(const QString& path);

// The shared corpus of odd real-world media (TagLib's), used where it lies; empty when a
// checkout has none beside it, and the test then skips with SkipNoCorpus.
QString oddMediaDir();
inline constexpr const char* SkipNoCorpus =
    "no odd-media corpus (../shared/testdata/taglib) beside this checkout";

// Folder permissions bind root too only once it acts as an ordinary user, so while this
// lives the effective user is "nobody" when the tests run as root.
struct AsOrdinaryUser {
    bool switched = geteuid() == 0 && seteuid(65534) == 0;
    bool active() const { return geteuid() != 0; }
    ~AsOrdinaryUser() {
        if (switched && seteuid(0) != 0)
            qFatal("cannot return to the original user");
    }
};

// A full disk, as far as this process writes regular files: while this lives, a write past
// `bytes` fails with EFBIG ("File too large"), which needs no root (unlike a small tmpfs).
struct FileSizeLimit {
    rlimit before{};
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN); // the failed write is what is wanted, not the signal
        getrlimit(RLIMIT_FSIZE, &before);
        const rlimit limited{bytes, before.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &before); }
};

} // namespace volaro::fixtures
