// The host's side of the protocol fed arbitrary device bytes: one command exchanged over a
// line whose device sends the input (what the host writes goes nowhere). The application
// has been told to quit, so every wait for a byte past the input ends at once: a run costs
// no time on the clock.
#include "fuzzsupport.h"
#include "link/frvelkor.h"

#include <QCoreApplication>
#include <QIODevice>

#include <cstdlib>

namespace {

class DeviceBytes : public QIODevice
{
public:
    explicit DeviceBytes(QByteArray bytes) : m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_bytes.size() - m_at; }

protected:
    qint64 readData(char* to, qint64 most) override
    {
        const qint64 count = std::min<qint64>(most, m_bytes.size() - m_at);
        std::copy_n(m_bytes.constData() + m_at, count, to);
        m_at += count;
        return count;
    }
    qint64 writeData(const char*, qint64 count) override { return count; }

private:
    QByteArray m_bytes;
    qint64 m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceMessages();
    static QCoreApplication* application = [] {
        static int argc = 1;
        static char name[] = "fuzz_linkreceive";
        static char* argv[] = {name, nullptr};
        auto* created = new QCoreApplication(argc, argv);
        QCoreApplication::exit(0);
        return created;
    }();
    (void)application;
    DeviceBytes line(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    FrVelkor link;
    link.setDevice(&line);
    const FrVelkor::Reply reply = link.frCommand(QByteArray::fromHex("101e000000"), 50);
    // An accepted reply is a whole frame's payload: never more than a frame can carry.
    if (reply.code == FrVelkor::Ok && reply.data.size() > FrVelkor::MaxPayload)
        std::abort();
    if (reply.code != FrVelkor::Ok && !reply.data.isEmpty())
        std::abort();
    return 0;
}
