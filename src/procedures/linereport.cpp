#include "linereport.h"

#include "link/wiretime.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

QString trLine(const char* text)
{
    return QCoreApplication::translate("LineTest", text);
}

using Cause = LineReport::Cause;
using End = FrVelkor::End;

// A number as the Russian texts write it: a decimal comma, no group separator.
QString decimal(double value, int precision)
{
    return QString::number(value, 'f', precision).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString spreadText(const LineReport::Spread& spread, int precision)
{
    return trLine("мин %1, медиана %2, 95 % %3, макс %4")
        .arg(decimal(spread.min, precision), decimal(spread.median, precision),
             decimal(spread.p95, precision), decimal(spread.max, precision));
}

Cause refusalCause(FrVelkor::Code code)
{
    switch (code) {
    case FrVelkor::ByteTimeout:
        return Cause::LateByte;
    case FrVelkor::NotStx:
        return Cause::NotStx;
    case FrVelkor::BadLength:
        return Cause::EmptyReply;
    case FrVelkor::BadChecksum:
        return Cause::BadChecksum;
    default:
        return Cause::ForeignReply;
    }
}

// What ended an attempt, unless it was a reply or a refused reply (counted as such).
std::optional<Cause> endCause(End end)
{
    switch (end) {
    case End::Reply:
    case End::ReplyRefused:
        break;
    case End::NoEnqAnswer:
        return Cause::NoEnqAnswer;
    case End::EnqGarbage:
        return Cause::EnqGarbage;
    case End::EnqNak:
        return Cause::EnqNak;
    case End::FrameNak:
        return Cause::FrameNak;
    case End::FrameUnanswered:
        return Cause::FrameUnanswered;
    case End::PortLost:
        return Cause::PortLost;
    }
    return std::nullopt;
}

LineReport::Spread spreadOf(QList<double> values)
{
    if (values.isEmpty())
        return {};
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    // The nearest rank: the smallest value that 95 % of the exchanges do not exceed.
    const qsizetype rank = qsizetype(std::ceil(0.95 * double(n)));
    return {values.front(), median, values[std::max<qsizetype>(rank, 1) - 1], values.back()};
}

} // namespace

LineReport::LineReport(const QString& port, int baud, int planned, int commandSize)
    : m_port(port), m_baud(baud), m_planned(planned), m_commandSize(commandSize)
{
}

void LineReport::add(const FrVelkor::Reply& reply)
{
    Exchange exchange;
    exchange.ms = double(reply.elapsedUs) / 1000.0;
    for (const FrVelkor::Attempt& attempt : reply.attempts) {
        for (const FrVelkor::Code refused : attempt.refusedReplies)
            exchange.causes << refusalCause(refused);
        if (const std::optional<Cause> cause = endCause(attempt.end))
            exchange.causes << *cause;
    }
    for (const Cause cause : std::as_const(exchange.causes))
        ++m_causes[int(cause)];
    if (reply.code != FrVelkor::Ok)
        exchange.outcome = Outcome::Failed;
    else if (!exchange.causes.isEmpty())
        exchange.outcome = Outcome::Retried;
    if (reply.code == FrVelkor::Ok)
        m_wireMs = wiretime::exchangeBytes(m_commandSize, int(reply.data.size())) *
                   wiretime::byteSeconds(m_baud) * 1000.0;
    m_exchanges << exchange;
}

int LineReport::count(Outcome outcome) const
{
    return int(std::count_if(m_exchanges.begin(), m_exchanges.end(),
                             [outcome](const Exchange& e) { return e.outcome == outcome; }));
}

LineReport::Spread LineReport::times() const
{
    QList<double> ms;
    for (const Exchange& exchange : m_exchanges)
        ms << exchange.ms;
    return spreadOf(ms);
}

LineReport::Spread LineReport::shares() const
{
    if (m_wireMs <= 0)
        return {};
    const Spread ms = times();
    return {ms.min / m_wireMs, ms.median / m_wireMs, ms.p95 / m_wireMs, ms.max / m_wireMs};
}

LineReport::Verdict LineReport::verdict() const
{
    if (m_exchanges.isEmpty())
        return Verdict::Untested;
    if (count(Outcome::Failed) > 0)
        return Verdict::Faulty;
    return count(Outcome::Retried) > 0 ? Verdict::Noisy : Verdict::Sound;
}

QString LineReport::causeText(Cause cause)
{
    switch (cause) {
    case Cause::NoEnqAnswer:
        return trLine("нет ответа на ENQ");
    case Cause::EnqGarbage:
        return trLine("мусор в ответ на ENQ");
    case Cause::EnqNak:
        return trLine("NAK на ENQ после кадра команды");
    case Cause::FrameNak:
        return trLine("NAK на кадр команды");
    case Cause::FrameUnanswered:
        return trLine("нет ответа на кадр команды");
    case Cause::BadChecksum:
        return trLine("неверная контрольная сумма ответа");
    case Cause::LateByte:
        return trLine("байт ответа опоздал или потерян");
    case Cause::NotStx:
        return trLine("мусор перед STX ответа");
    case Cause::EmptyReply:
        return trLine("ответ с длиной 0");
    case Cause::ForeignReply:
        return trLine("чужой или старый ответ");
    case Cause::PortLost:
        return trLine("потеряна связь с портом");
    }
    return {};
}

QString LineReport::causeKey(Cause cause)
{
    static const char* const keys[CauseCount] = {
        "no_enq_answer",    "enq_garbage",   "enq_nak",   "frame_nak",
        "frame_unanswered", "bad_checksum",  "late_byte", "not_stx",
        "empty_reply",      "foreign_reply", "port_lost"};
    return QLatin1String(keys[int(cause)]);
}

QString LineReport::percentText(int part, int whole)
{
    const double percent = whole > 0 ? 100.0 * part / whole : 0;
    const bool integral = std::abs(percent - std::round(percent)) < 0.05;
    return decimal(percent, integral ? 0 : 1) + QStringLiteral(" %");
}

QString LineReport::verdictText() const
{
    const int done = int(m_exchanges.size());
    switch (verdict()) {
    case Verdict::Untested:
        return trLine("Линия не проверена: обменов не было");
    case Verdict::Sound:
        return trLine("Линия исправна");
    case Verdict::Noisy:
        return trLine("Линия с помехами: %1 обменов с повтором")
            .arg(percentText(count(Outcome::Retried), done));
    case Verdict::Faulty:
        break;
    }
    return trLine("Линия неисправна: %1 обменов не выполнено")
        .arg(percentText(count(Outcome::Failed), done));
}

QString LineReport::adviceText() const
{
    const Verdict v = verdict();
    if (v == Verdict::Untested || v == Verdict::Sound)
        return {};
    const int* usual = std::max_element(std::begin(m_causes), std::end(m_causes));
    switch (Cause(usual - std::begin(m_causes))) {
    case Cause::LateByte:
    case Cause::NotStx:
    case Cause::EmptyReply:
        return trLine("Совет: байты ответа теряются — попробуйте другой адаптер USB-COM.");
    case Cause::NoEnqAnswer:
    case Cause::FrameUnanswered:
        return trLine("Совет: ФР не отвечает — проверьте разъёмы и попробуйте кабель короче.");
    case Cause::PortLost:
        return trLine("Совет: порт пропал — проверьте подключение адаптера и кабель.");
    default:
        break;
    }
    // Damaged bytes: a lower rate first, then the cable.
    if (m_baud > FrVelkor::BaudRates[0])
        return trLine("Совет: байты искажаются — понизьте скорость обмена.");
    return trLine("Совет: байты искажаются — укоротите кабель и уведите его от силовых "
                  "проводов.");
}

QStringList LineReport::lines() const
{
    const int done = int(m_exchanges.size());
    QStringList lines;
    lines << trLine("Порт %1, %2 бит/с, короткий запрос 10h").arg(m_port).arg(m_baud);
    lines << trLine("Выполнено обменов: %1 из %2").arg(done).arg(m_planned);
    if (m_end == End::Stopped)
        lines << trLine("Проверка прервана.");
    if (m_end == End::PortLost)
        lines << trLine("Проверка остановлена: потеряна связь с портом.");
    lines << trLine("С первой попытки: %1").arg(count(Outcome::FirstAttempt));
    lines << trLine("С повтором: %1").arg(count(Outcome::Retried));
    lines << trLine("Не выполнено: %1").arg(count(Outcome::Failed));
    for (int c = 0; c < CauseCount; ++c)
        if (m_causes[c] > 0)
            lines << trLine("Причина: %1 — %2").arg(causeText(Cause(c))).arg(m_causes[c]);
    if (done > 0)
        lines << trLine("Время обмена, мс: %1").arg(spreadText(times(), 1));
    if (m_wireMs > 0)
        lines << trLine("Время обмена к времени на линии (%1 мс): %2")
                     .arg(decimal(m_wireMs, 2), spreadText(shares(), 2));
    const QString advice = adviceText();
    if (!advice.isEmpty())
        lines << advice;
    lines << verdictText();
    return lines;
}
