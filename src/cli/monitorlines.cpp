#include "monitorlines.h"

#include "cliconsole.h"

#include <QDateTime>
#include <QJsonArray>
#include <QStringList>

namespace {

using Event = FrameFollower::Event;
using Kind = FrameFollower::Kind;
using Side = FrameFollower::Side;
using Answer = FrameFollower::Answer;

// What an ACK or a NAK says, by who sends it and what it answers.
QString meaning(const Event& event)
{
    const bool ack = event.kind == Kind::Ack;
    if (event.answer == Answer::Enq)
        return ack ? QStringLiteral("есть ответ для передачи") : QStringLiteral("готов к команде");
    if (event.answer == Answer::Frame && event.side == Side::Device)
        return ack ? QStringLiteral("кадр принят") : QStringLiteral("кадр не принят");
    if (event.answer == Answer::Frame)
        return ack ? QStringLiteral("ответ принят") : QStringLiteral("ответ не принят");
    return QStringLiteral("без запроса");
}

QString typeName(const Event& event)
{
    switch (event.kind) {
    case Kind::Enq:
        return QStringLiteral("enq");
    case Kind::Ack:
        return QStringLiteral("ack");
    case Kind::Nak:
        return QStringLiteral("nak");
    case Kind::Frame:
        return event.side == Side::Host ? QStringLiteral("command") : QStringLiteral("reply");
    case Kind::BadChecksum:
        return QStringLiteral("bad-checksum");
    case Kind::ZeroLength:
        return QStringLiteral("zero-length");
    case Kind::CutFrame:
        return QStringLiteral("cut-frame");
    case Kind::Stray:
        return QStringLiteral("stray");
    case Kind::NoReply:
        return QStringLiteral("no-reply");
    }
    return QString();
}

QString joined(const std::vector<FrameDecoding::Item>& items, QJsonArray* json)
{
    QStringList texts;
    for (const FrameDecoding::Item& item : items) {
        texts << item.name + QStringLiteral(": ") + item.text;
        json->append(
            QJsonObject{{QStringLiteral("name"), item.name}, {QStringLiteral("text"), item.text}});
    }
    return texts.join(QStringLiteral("; "));
}

QString codeText(quint8 code)
{
    return QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString MonitorLines::clock(qint64 timeMs)
{
    return QDateTime::fromMSecsSinceEpoch(timeMs).toString(QStringLiteral("hh:mm:ss.zzz"));
}

MonitorLines::Line MonitorLines::rateChanged(qint64 timeMs, int baud)
{
    Line line;
    line.text = QStringLiteral("%1 ФР   скорость %2 бит/с: обе стороны переключены")
                    .arg(clock(timeMs))
                    .arg(baud);
    line.json = {{QStringLiteral("t"), clock(timeMs)},
                 {QStringLiteral("dir"), QStringLiteral("device")},
                 {QStringLiteral("type"), QStringLiteral("rate")},
                 {QStringLiteral("baud"), baud}};
    return line;
}

MonitorLines::Line MonitorLines::dropped(qint64 timeMs, int count, const QByteArray& shown)
{
    const QString bytes =
        ConsolePane::hex(shown) + (count > shown.size() ? QStringLiteral(" …") : QString());
    Line line;
    line.text = QStringLiteral("%1 ФР   %2 байт не переданы: порт программы закрыт (%3)")
                    .arg(clock(timeMs))
                    .arg(count)
                    .arg(bytes);
    line.json = {{QStringLiteral("t"), clock(timeMs)},
                 {QStringLiteral("dir"), QStringLiteral("device")},
                 {QStringLiteral("type"), QStringLiteral("dropped")},
                 {QStringLiteral("count"), count},
                 {QStringLiteral("bytes"), bytes}};
    return line;
}

MonitorLines::Line MonitorLines::describe(const Event& event)
{
    Line line;
    line.json.insert(QStringLiteral("t"), clock(event.timeMs));
    line.json.insert(QStringLiteral("dir"),
                     event.side == Side::Host ? QStringLiteral("host") : QStringLiteral("device"));
    line.json.insert(QStringLiteral("type"), typeName(event));
    if (!event.bytes.isEmpty())
        line.json.insert(QStringLiteral("bytes"), ConsolePane::hex(event.bytes));
    QString text;
    switch (event.kind) {
    case Kind::Enq:
        text = QStringLiteral("ENQ");
        break;
    case Kind::Ack:
    case Kind::Nak:
        text = (event.kind == Kind::Ack ? QStringLiteral("ACK: ") : QStringLiteral("NAK: ")) +
               meaning(event);
        line.json.insert(QStringLiteral("meaning"), meaning(event));
        break;
    case Kind::Frame:
        describeFrame(event, &line);
        text = line.text;
        break;
    case Kind::BadChecksum: {
        quint8 sum = 0;
        for (int i = 1; i + 1 < event.bytes.size(); ++i)
            sum ^= quint8(event.bytes.at(i));
        text = QStringLiteral("! ошибка контрольной суммы (должна быть %1): %2")
                   .arg(codeText(sum), ConsolePane::hex(event.bytes));
        break;
    }
    case Kind::ZeroLength:
        text = QStringLiteral("! кадр с длиной 0: ") + ConsolePane::hex(event.bytes);
        break;
    case Kind::CutFrame:
        text = QStringLiteral("! кадр оборван, байт не пришёл за %1 мс: %2")
                   .arg(FrameFollower::ByteWaitMs)
                   .arg(ConsolePane::hex(event.bytes));
        break;
    case Kind::Stray:
        text = (event.answer == Answer::Enq ? QStringLiteral("! посторонние байты в ответ на ENQ: ")
                                            : QStringLiteral("! посторонние байты: ")) +
               ConsolePane::hex(event.bytes);
        if (event.answer == Answer::Enq)
            line.json.insert(QStringLiteral("answers"), QStringLiteral("enq"));
        break;
    case Kind::NoReply: {
        const FrameDecoding::Decoded command = m_decoding.command(event.command);
        text = QStringLiteral("! нет ответа на команду %1 %2")
                   .arg(codeText(command.code),
                        command.known ? command.name : QStringLiteral("неизвестная команда"));
        line.json.insert(QStringLiteral("code"), codeText(command.code));
        break;
    }
    }
    line.text =
        QStringLiteral("%1 %2 %3")
            .arg(clock(event.timeMs),
                 event.side == Side::Host ? QStringLiteral("хост") : QStringLiteral("ФР  "), text);
    return line;
}

void MonitorLines::describeFrame(const Event& event, Line* line)
{
    const bool command = event.side == Side::Host;
    const FrameDecoding::Decoded decoded =
        command ? m_decoding.command(event.payload) : m_decoding.reply(event.payload);
    QJsonObject& json = line->json;
    json.insert(QStringLiteral("code"), codeText(decoded.code));
    QString head = (command ? QStringLiteral("команда ") : QStringLiteral("ответ ")) +
                   codeText(decoded.code) + QLatin1Char(' ');
    if (decoded.known) {
        head += decoded.name;
        json.insert(QStringLiteral("name"), decoded.name);
    } else {
        head += QStringLiteral("неизвестная команда");
        json.insert(QStringLiteral("known"), false);
    }
    if (event.resent) {
        head = QStringLiteral("! ") + head + QStringLiteral(", повтор");
        json.insert(QStringLiteral("resent"), true);
    }
    if (!command && event.latencyMs >= 0) {
        head += QStringLiteral(", через %1 мс").arg(event.latencyMs);
        json.insert(QStringLiteral("latencyMs"), event.latencyMs);
    } else if (!command) {
        head = QStringLiteral("! ") + head + QStringLiteral(", не на последнюю команду");
        json.insert(QStringLiteral("stale"), true);
    }
    QString text = head + QStringLiteral(": ") + ConsolePane::hex(event.bytes);
    QJsonArray items;
    const QString itemText = joined(decoded.items, &items);
    if (decoded.known && decoded.error > 0) {
        text += QStringLiteral(" | ") + decoded.errorText.trimmed();
        json.insert(QStringLiteral("error"), decoded.error);
        json.insert(QStringLiteral("errorText"), decoded.errorText.trimmed());
    } else if (decoded.known && !command && decoded.error < 0) {
        text += QStringLiteral(" | нет кода ошибки");
    } else if (!itemText.isEmpty()) {
        text += QStringLiteral(" | ") + itemText;
    }
    if (decoded.error == 0)
        json.insert(QStringLiteral("error"), 0);
    if (!items.isEmpty())
        json.insert(QStringLiteral("items"), items);
    line->text = text;
}
