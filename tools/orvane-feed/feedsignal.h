#pragma once

#include <QString>
#include <QVector>

#include <memory>
#include <optional>
#include <random>

// What one meter channel of the stand-in console shows over time. Every level is in dB, in
// the range a level frame can carry.
namespace Feed {

constexpr double MinLevelDb = -50.0;
constexpr double MaxLevelDb = 15.535;

enum class Shape { Constant, Ramp, Sine, Steps, Programme };
enum class ProgrammeStyle { Speech, Music, Mix };

struct SignalPlan
{
    Shape shape = Shape::Constant;
    // Constant: low. Ramp: from low to high (high may lie below low). Sine: between the two.
    double low = MinLevelDb;
    double high = MinLevelDb;
    // Seconds: one ramp, one sine cycle, or how long each step is held.
    double period = 1.0;
    QVector<double> steps;
    ProgrammeStyle style = ProgrammeStyle::Mix;
    // The loudest a programme envelope gets.
    double peak = -2.0;
};

// "12.5", "-20dB": a level within MinLevelDb..MaxLevelDb.
std::optional<double> parseLevel(const QString &text, QString *error);
// "2s", "500ms", "1.5" (seconds), "2m", "1min": a time longer than zero, in seconds.
std::optional<double> parseTime(const QString &text, QString *error);
// One signal, as written after the '=' of a channel assignment (see the tool's help).
std::optional<SignalPlan> parseSignal(const QString &text, QString *error);
// "CHANNELS=SIGNAL" with CHANNELS one of 1..6, lists and ranges of them ("1,3-4"), the pair
// names prog, sub and crm, or all. Channel numbers come back 0-based.
bool parseChannelAssignment(const QString &text, QVector<int> *channels, SignalPlan *signal,
                            QString *error);

// A programme-like level: speech as syllable peaks in phrases with short pauses between them,
// music as a slowly moving body with beats on it and a silence between songs, or a mix of the
// two taking turns, as on a radio programme. The course of the programme (phrases, beats,
// songs) comes from `sharedSeed`, so that the two sides of a stereo pair that share it move
// together; `ownSeed` adds the small differences between the two sides.
class ProgrammeEnvelope
{
public:
    ProgrammeEnvelope(ProgrammeStyle style, double peakDb, quint32 sharedSeed, quint32 ownSeed);

    // The level at `t` seconds. Times must not go backwards from one call to the next.
    double levelAt(double t);

private:
    enum class Segment { Speech, Music, Gap };
    struct Burst
    {
        double onset;
        double level;
        double hold;
        double decayPerSecond;
        double at(double t) const;
    };

    double uniform(std::mt19937 &random, double low, double high);
    void startSegment(Segment kind, double at);
    void advanceTo(double t);
    void nextSpeechEvent();
    void nextMusicEvent();
    double musicBody(double t) const;
    double wobbleAt(double t);

    ProgrammeStyle style;
    double peak;
    std::mt19937 shared;
    std::mt19937 own;

    Segment segment = Segment::Gap;
    Segment lastSounding = Segment::Music;
    double segmentEnd = 0.0;
    double nextEvent = 0.0;
    // Speech: the phrase now spoken ends here, then a pause.
    double phraseEnd = 0.0;
    // Music: the body moves linearly between two control points; beats come every beatPeriod.
    double bodyFrom = 0.0;
    double bodyTo = 0.0;
    double bodyFromTime = 0.0;
    double bodyToTime = 0.0;
    double beatPeriod = 0.5;
    double nextBeat = 0.0;
    QVector<Burst> bursts;
    // The side's own slow deviation, between two control points.
    double wobbleFrom = 0.0;
    double wobbleTo = 0.0;
    double wobbleFromTime = 0.0;
    double wobbleToTime = 0.0;
};

// The level of one channel at a given time.
class SignalSource
{
public:
    SignalSource(const SignalPlan &plan, quint32 sharedSeed, quint32 ownSeed);

    // Times must not go backwards from one call to the next (programme envelopes remember).
    double levelAt(double t);

private:
    SignalPlan plan;
    std::unique_ptr<ProgrammeEnvelope> programme;
};

// The seeds of channel `channel` (0..5) under the run's seed: the two channels of a stereo pair
// (1 and 2, 3 and 4, 5 and 6) share the first.
quint32 sharedSeedFor(quint32 seed, int channel);
quint32 ownSeedFor(quint32 seed, int channel);

} // namespace Feed
