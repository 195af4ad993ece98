// Writes the seed corpora of fuzz_decoder and fuzz_ffmpegdecoder: tiny files of each kind
// the decoders meet. Usage: deck_makecorpus <folder> [kind]; with a kind ("ffmpeg") only
// the files FFmpeg plays.

#include "support/codecfixtures.h"
#include "support/fixtures.h"

#include <QDir>
#include <cstdio>

using namespace volaro::fixtures;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [ffmpeg]\n", argv[0]);
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath("."))
        return 1;
    bool ok = true;
    // The FFmpeg kinds, whole and cut in the middle of a packet.
    for (const Codec codec :
         {Codec::AacM4a, Codec::AlacM4a, Codec::Wma, Codec::WavPack, Codec::AacVideo}) {
        const QString name =
            dir.filePath(QString::fromLatin1(codecName(codec)) + codecSuffix(codec));
        ok &= writeEncoded(name, codec, render({.seconds = 0.05, .channels = 1, .noise = 0.1}),
                           44100, 1);
        const QByteArray whole = readBytes(name);
        ok &= writeBytes(dir.filePath(QStringLiteral("cut-") + codecName(codec)),
                         whole.left(whole.size() * 2 / 3));
    }
    if (argc > 2) {
        std::printf("%s\n", ok ? "corpus written" : "some files failed");
        return ok ? 0 : 1;
    }
    const Signal s{.seconds = 0.08, .noise = 0.1};
    const Signal mono{.seconds = 0.02, .sampleRate = 8000, .channels = 1, .noise = 0.1};
    const Signal low{.seconds = 0.08, .sampleRate = 16000, .channels = 1, .noise = 0.1};
    ok &= writeMp3(dir.filePath("cbr.mp3"), s, Mp3Kind::Cbr, 32);
    ok &= writeMp3(dir.filePath("cbr-noheader.mp3"), s, Mp3Kind::CbrNoHeader, 32);
    ok &= writeMp3(dir.filePath("vbr-xing.mp3"), s, Mp3Kind::VbrXing, 9);
    ok &= writeMp3(dir.filePath("vbr-noheader.mp3"), s, Mp3Kind::VbrNoHeader, 9);
    ok &= writeWav(dir.filePath("mono8k.wav"), mono);
    ok &= writeMp3(dir.filePath("mpeg2-mono.mp3"), low, Mp3Kind::VbrNoHeader, 9);

    // A small ID3v2 tag in front, and a file cut in the middle of a frame.
    const QByteArray mp3 = readBytes(dir.filePath("cbr-noheader.mp3"));
    QByteArray tag("ID3\x03\x00\x00\x00\x00\x00\x14TIT2\x00\x00\x00\x0a\x00\x00\x00title-seed", 30);
    ok &= writeBytes(dir.filePath("id3.mp3"), tag + mp3);
    ok &= writeBytes(dir.filePath("cut.mp3"), mp3.left(mp3.size() / 2 + 13));
    const QByteArray wav = readBytes(dir.filePath("mono8k.wav"));
    ok &= writeBytes(dir.filePath("cut.wav"), wav.left(wav.size() - 101));
    std::printf("%s\n", ok ? "corpus written" : "some files failed");
    return ok ? 0 : 1;
}
