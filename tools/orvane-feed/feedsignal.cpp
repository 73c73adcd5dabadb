#include "feedsignal.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Feed {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double Never = std::numeric_limits<double>::infinity();
// Frame times are multiples of 1/rate and step lengths often divide them evenly: without a
// little slack, 0.6 s / 0.2 s comes out as 2.9999999999999996 and the step starts a frame late.
constexpr double Slack = 1e-9;

double wholePeriods(double t, double period)
{
    return std::floor(t / period + Slack);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString levelRange()
{
    return QStringLiteral("%1 to +%2 dB").arg(MinLevelDb).arg(MaxLevelDb);
}

// splitmix32: neighbouring seeds give unrelated streams.
quint32 mix(quint32 x)
{
    x += 0x9e3779b9u;
    x = (x ^ (x >> 16)) * 0x85ebca6bu;
    x = (x ^ (x >> 13)) * 0xc2b2ae35u;
    return x ^ (x >> 16);
}

} // namespace

std::optional<double> parseLevel(const QString &text, QString *error)
{
    QString number = text.trimmed();
    if (number.endsWith(QLatin1String("db"), Qt::CaseInsensitive))
        number.chop(2);
    bool ok = false;
    const double level = number.toDouble(&ok);
    if (!ok || !std::isfinite(level)) {
        setError(error, QStringLiteral("'%1' is not a level in dB").arg(text));
        return std::nullopt;
    }
    // The frame carries 0.001 dB steps; a level a hair outside rounds onto the edge.
    if (level < MinLevelDb - 0.0005 || level > MaxLevelDb + 0.0005) {
        setError(
            error,
            QStringLiteral("level %1 dB is out of range (%2)").arg(text.trimmed(), levelRange()));
        return std::nullopt;
    }
    return std::clamp(level, MinLevelDb, MaxLevelDb);
}

std::optional<double> parseTime(const QString &text, QString *error)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d+(?:\\.\\d*)?|\\.\\d+)\\s*(ms|s|m|min)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        setError(error,
                 QStringLiteral("'%1' is not a time (examples: 2s, 500ms, 1.5, 2m)").arg(text));
        return std::nullopt;
    }
    double seconds = match.captured(1).toDouble();
    const QString unit = match.captured(2).toLower();
    if (unit == QLatin1String("ms"))
        seconds /= 1000.0;
    else if (unit == QLatin1String("m") || unit == QLatin1String("min"))
        seconds *= 60.0;
    if (!(seconds > 0.0)) {
        setError(error, QStringLiteral("time '%1' must be longer than zero").arg(text));
        return std::nullopt;
    }
    return seconds;
}

std::optional<SignalPlan> parseSignal(const QString &text, QString *error)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    const QString kind = parts.first().trimmed().toLower();
    SignalPlan plan;

    auto wrongForm = [&](const char *form) {
        setError(error, QStringLiteral("'%1': write %2").arg(text, QLatin1String(form)));
        return std::nullopt;
    };
    auto level = [&](int i, double *into) {
        const std::optional<double> value = parseLevel(parts[i], error);
        if (value)
            *into = *value;
        return value.has_value();
    };
    auto time = [&](int i) {
        const std::optional<double> value = parseTime(parts[i], error);
        if (value)
            plan.period = *value;
        return value.has_value();
    };

    if (kind == QLatin1String("const") || kind == QLatin1String("constant")) {
        if (parts.size() != 2)
            return wrongForm("const:LEVEL, as in const:-20");
        if (!level(1, &plan.low))
            return std::nullopt;
        plan.high = plan.low;
        return plan;
    }
    if (kind == QLatin1String("ramp") || kind == QLatin1String("sine")) {
        plan.shape = kind == QLatin1String("ramp") ? Shape::Ramp : Shape::Sine;
        if (parts.size() != 4) {
            return plan.shape == Shape::Ramp
                ? wrongForm("ramp:FROM:TO:TIME, as in ramp:-40:0:2s")
                : wrongForm("sine:LOW:HIGH:TIME, as in sine:-40:0:4s");
        }
        if (!level(1, &plan.low) || !level(2, &plan.high) || !time(3))
            return std::nullopt;
        return plan;
    }
    if (kind == QLatin1String("steps")) {
        plan.shape = Shape::Steps;
        if (parts.size() != 3 || parts[1].trimmed().isEmpty())
            return wrongForm("steps:LEVEL,LEVEL,...:TIME, as in steps:-40,-20,0:500ms");
        for (const QString &item : parts[1].split(QLatin1Char(','))) {
            const std::optional<double> value = parseLevel(item, error);
            if (!value)
                return std::nullopt;
            plan.steps.append(*value);
        }
        if (!time(2))
            return std::nullopt;
        return plan;
    }
    if (kind == QLatin1String("programme") || kind == QLatin1String("program")
        || kind == QLatin1String("prog")) {
        plan.shape = Shape::Programme;
        int next = 1;
        if (next < parts.size()) {
            const QString style = parts[next].trimmed().toLower();
            if (style == QLatin1String("speech"))
                plan.style = ProgrammeStyle::Speech;
            else if (style == QLatin1String("music"))
                plan.style = ProgrammeStyle::Music;
            else if (style == QLatin1String("mix"))
                plan.style = ProgrammeStyle::Mix;
            else
                --next;
            ++next;
        }
        if (next < parts.size() && !level(next++, &plan.peak))
            return std::nullopt;
        if (next < parts.size())
            return wrongForm("programme[:speech|music|mix][:PEAK], as in programme:music:-4");
        return plan;
    }
    if (parts.size() == 1) {
        // A bare number is a constant level; anything else is an unknown shape.
        bool isNumber = false;
        QString number = kind;
        if (number.endsWith(QLatin1String("db")))
            number.chop(2);
        number.toDouble(&isNumber);
        if (isNumber) {
            if (!level(0, &plan.low))
                return std::nullopt;
            plan.high = plan.low;
            return plan;
        }
    }
    setError(error,
             QStringLiteral("unknown signal '%1': use a level, const, ramp, sine, steps or "
                            "programme")
                 .arg(text));
    return std::nullopt;
}

bool parseChannelAssignment(const QString &text, QVector<int> *channels, SignalPlan *signal,
                            QString *error)
{
    const int equals = text.indexOf(QLatin1Char('='));
    if (equals < 0) {
        setError(
            error,
            QStringLiteral("'%1': write CHANNELS=SIGNAL, as in 1=-20 or all=programme").arg(text));
        return false;
    }
    const QString which = text.left(equals).trimmed().toLower();
    auto noSuchChannel = [&](const QString &item) {
        setError(error,
                 QStringLiteral("no channel '%1': channels are 1 to 6, prog (1,2), sub (3,4), "
                                "crm (5,6) or all")
                     .arg(item));
        return false;
    };
    QVector<int> found;
    for (const QString &rawItem : which.split(QLatin1Char(','))) {
        const QString item = rawItem.trimmed();
        if (item == QLatin1String("all")) {
            found << 0 << 1 << 2 << 3 << 4 << 5;
        } else if (item == QLatin1String("prog")) {
            found << 0 << 1;
        } else if (item == QLatin1String("sub")) {
            found << 2 << 3;
        } else if (item == QLatin1String("crm")) {
            found << 4 << 5;
        } else {
            const QStringList ends = item.split(QLatin1Char('-'));
            if (ends.size() > 2)
                return noSuchChannel(item);
            bool okFirst = false;
            bool okLast = false;
            const int first = ends.first().toInt(&okFirst);
            const int last = ends.last().toInt(&okLast);
            if (!okFirst || !okLast || first < 1 || last > 6 || first > last)
                return noSuchChannel(item);
            for (int channel = first; channel <= last; ++channel)
                found << channel - 1;
        }
    }
    const std::optional<SignalPlan> plan = parseSignal(text.mid(equals + 1), error);
    if (!plan)
        return false;
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    *channels = found;
    *signal = *plan;
    return true;
}

quint32 sharedSeedFor(quint32 seed, int channel)
{
    return mix(mix(seed) ^ quint32(0x51a4u + channel / 2));
}

quint32 ownSeedFor(quint32 seed, int channel)
{
    return mix(mix(seed) ^ quint32(0x0c40u + channel));
}

double ProgrammeEnvelope::Burst::at(double t) const
{
    if (t < onset)
        return -Never;
    if (t < onset + hold)
        return level;
    return level - decayPerSecond * (t - onset - hold);
}

ProgrammeEnvelope::ProgrammeEnvelope(ProgrammeStyle programmeStyle, double peakDb,
                                     quint32 sharedSeed, quint32 ownSeed)
    : style(programmeStyle)
    , peak(peakDb)
    , shared(sharedSeed)
    , own(ownSeed)
{
    wobbleFrom = uniform(own, -1.2, 1.2);
    wobbleTo = uniform(own, -1.2, 1.2);
    wobbleToTime = uniform(own, 0.4, 1.5);
    Segment first = style == ProgrammeStyle::Music ? Segment::Music : Segment::Speech;
    if (style == ProgrammeStyle::Mix && shared() % 2 == 0)
        first = Segment::Music;
    startSegment(first, 0.0);
}

double ProgrammeEnvelope::uniform(std::mt19937 &random, double low, double high)
{
    // Not std::uniform_real_distribution: its results differ between standard libraries, and a
    // seed should give the same programme everywhere.
    return low + (high - low) * (random() / 4294967296.0);
}

void ProgrammeEnvelope::startSegment(Segment kind, double at)
{
    segment = kind;
    switch (kind) {
    case Segment::Speech:
        segmentEnd = style == ProgrammeStyle::Speech ? Never : at + uniform(shared, 6.0, 15.0);
        phraseEnd = at + uniform(shared, 1.0, 3.5);
        nextEvent = at + uniform(shared, 0.0, 0.15);
        break;
    case Segment::Music:
        segmentEnd = at
            + (style == ProgrammeStyle::Music ? uniform(shared, 30.0, 90.0)
                                              : uniform(shared, 12.0, 30.0));
        beatPeriod = 60.0 / uniform(shared, 80.0, 140.0);
        nextBeat = at + uniform(shared, 0.0, beatPeriod);
        bodyFrom = peak - uniform(shared, 4.0, 10.0);
        bodyFromTime = at;
        bodyTo = peak - uniform(shared, 3.0, 9.0);
        bodyToTime = at + uniform(shared, 1.5, 5.0);
        nextEvent = std::min(nextBeat, bodyToTime);
        break;
    case Segment::Gap:
        // A breath between talk and music, a longer silence between two songs.
        segmentEnd = at
            + (style == ProgrammeStyle::Mix ? uniform(shared, 0.3, 0.8)
                                            : uniform(shared, 0.8, 2.5));
        nextEvent = Never;
        break;
    }
}

void ProgrammeEnvelope::advanceTo(double t)
{
    while (std::min(segmentEnd, nextEvent) <= t) {
        if (segmentEnd <= nextEvent) {
            if (segment == Segment::Gap) {
                Segment kind = style == ProgrammeStyle::Speech ? Segment::Speech
                    : style == ProgrammeStyle::Music           ? Segment::Music
                    : lastSounding == Segment::Speech          ? Segment::Music
                                                               : Segment::Speech;
                startSegment(kind, segmentEnd);
            } else {
                lastSounding = segment;
                startSegment(Segment::Gap, segmentEnd);
            }
        } else if (segment == Segment::Speech) {
            nextSpeechEvent();
        } else {
            nextMusicEvent();
        }
    }
}

void ProgrammeEnvelope::nextSpeechEvent()
{
    const double at = nextEvent;
    if (at >= phraseEnd) {
        const double start = at + uniform(shared, 0.3, 1.2);
        phraseEnd = start + uniform(shared, 1.0, 3.5);
        nextEvent = start;
        return;
    }
    // Now and then a stressed syllable comes close to the peak; most stay well below it.
    const bool stressed = uniform(shared, 0.0, 1.0) < 0.15;
    const double level
        = peak - (stressed ? uniform(shared, 0.0, 2.0) : uniform(shared, 2.0, 10.0));
    // A syllable dies away within a few frames: between two of them the level drops by some
    // ten to twenty dB, as speech on a peak meter does.
    bursts.append({ at, level, uniform(shared, 0.04, 0.12), uniform(shared, 80.0, 160.0) });
    nextEvent = at + uniform(shared, 0.12, 0.3);
}

void ProgrammeEnvelope::nextMusicEvent()
{
    if (nextBeat <= bodyToTime) {
        const double lift = uniform(shared, 1.5, 4.5);
        bursts.append({ nextBeat, musicBody(nextBeat) + lift, 0.03, uniform(shared, 20.0, 35.0) });
        nextBeat += beatPeriod;
    } else {
        bodyFrom = bodyTo;
        bodyFromTime = bodyToTime;
        // A quiet passage now and then, as in a verse before the chorus.
        const bool quiet = uniform(shared, 0.0, 1.0) < 0.15;
        bodyTo = peak - (quiet ? uniform(shared, 14.0, 20.0) : uniform(shared, 3.0, 9.0));
        bodyToTime += uniform(shared, 1.5, 5.0);
    }
    nextEvent = std::min(nextBeat, bodyToTime);
}

double ProgrammeEnvelope::musicBody(double t) const
{
    const double span = bodyToTime - bodyFromTime;
    const double x = span > 0.0 ? std::clamp((t - bodyFromTime) / span, 0.0, 1.0) : 1.0;
    return bodyFrom + (bodyTo - bodyFrom) * x;
}

double ProgrammeEnvelope::wobbleAt(double t)
{
    while (t >= wobbleToTime) {
        wobbleFrom = wobbleTo;
        wobbleFromTime = wobbleToTime;
        wobbleTo = uniform(own, -1.2, 1.2);
        wobbleToTime += uniform(own, 0.4, 1.5);
    }
    const double x = (t - wobbleFromTime) / (wobbleToTime - wobbleFromTime);
    return wobbleFrom + (wobbleTo - wobbleFrom) * x;
}

double ProgrammeEnvelope::levelAt(double t)
{
    advanceTo(t);
    double level = MinLevelDb;
    switch (segment) {
    case Segment::Speech:
        // An open microphone: room tone just above the bottom of the scale.
        level = -46.0 + uniform(own, -1.0, 1.0);
        break;
    case Segment::Music:
        level = musicBody(t) - 2.0 + uniform(own, -1.0, 1.0);
        break;
    case Segment::Gap:
        break;
    }
    for (const Burst &burst : std::as_const(bursts))
        level = std::max(level, burst.at(t));
    bursts.erase(std::remove_if(bursts.begin(), bursts.end(),
                                [t](const Burst &burst) { return burst.at(t) < MinLevelDb; }),
                 bursts.end());
    if (level > MinLevelDb)
        level += wobbleAt(t);
    return std::clamp(level, MinLevelDb, peak);
}

SignalSource::SignalSource(const SignalPlan &signalPlan, quint32 sharedSeed, quint32 ownSeed)
    : plan(signalPlan)
{
    if (plan.shape == Shape::Programme)
        programme
            = std::make_unique<ProgrammeEnvelope>(plan.style, plan.peak, sharedSeed, ownSeed);
}

double SignalSource::levelAt(double t)
{
    double level = plan.low;
    switch (plan.shape) {
    case Shape::Constant:
        break;
    case Shape::Ramp: {
        const double phase = std::max(0.0, t / plan.period - wholePeriods(t, plan.period));
        level = plan.low + (plan.high - plan.low) * phase;
        break;
    }
    case Shape::Sine:
        level = plan.low
            + (plan.high - plan.low) * (1.0 - std::cos(2.0 * Pi * t / plan.period)) / 2.0;
        break;
    case Shape::Steps: {
        const qint64 step = qint64(wholePeriods(t, plan.period));
        level = plan.steps.at(int(step % plan.steps.size()));
        break;
    }
    case Shape::Programme:
        level = programme->levelAt(t);
        break;
    }
    return std::clamp(level, MinLevelDb, MaxLevelDb);
}

} // namespace Feed
