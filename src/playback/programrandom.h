#pragma once

// The program's one pseudo-random generator: shuffle play reseeds it from the clock
// before each draw, Random Order draws from it as it stands.

#include <QTime>
#include <random>

namespace volaro::playback {

class ProgramRandom {
public:
    void Randomize(unsigned seed) { m_generator.seed(seed); }
    void RandomizeFromClock() {
        Randomize(static_cast<unsigned>(QTime::currentTime().msecsSinceStartOfDay() / 1000));
    }
    // 0 <= r < 1
    double Rnd() { return std::uniform_real_distribution<double>(0.0, 1.0)(m_generator); }

private:
    std::mt19937 m_generator{std::random_device{}()};
};

} // namespace volaro::playback
