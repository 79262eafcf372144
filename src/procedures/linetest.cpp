#include "linetest.h"

#include "procedurehost.h"
#include "procedurelink.h"

LineTest::LineTest(ProcedureLink& link, const QString& port, int baud, int count)
    : m_link(link), m_port(port), m_baud(baud), m_count(count)
{
}

LineReport LineTest::run(const Progress& progress)
{
    const QByteArray command = ProcedureLink::withPassword(StatusCode, m_link.host().password());
    LineReport report(m_port, m_baud, m_count, int(command.size()));
    if (!m_link.host().connected())
        return report;
    for (int i = 0; i < m_count; ++i) {
        const FrVelkor::Reply reply = m_link.exchangeQuietly(command);
        report.add(reply);
        if (reply.code == FrVelkor::PortLost) {
            report.setEnd(LineReport::End::PortLost);
            return report;
        }
        if (progress && !progress(report) && i + 1 < m_count) {
            report.setEnd(LineReport::End::Stopped);
            return report;
        }
    }
    report.setEnd(LineReport::End::Completed);
    return report;
}
