#pragma once

#include <QFile>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace testsupport {

inline QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Collects the toolkit's messages while it lives, then puts the previous handler back.
class MessageRecorder
{
public:
    MessageRecorder()
    {
        m_previous = qInstallMessageHandler(&MessageRecorder::handle);
        current() = this;
    }
    ~MessageRecorder()
    {
        qInstallMessageHandler(m_previous);
        current() = nullptr;
    }
    QStringList messages(QtMsgType type) const
    {
        QMutexLocker lock(&m_lock);
        QStringList result;
        for (const auto& entry : m_entries)
            if (entry.first == type)
                result.append(entry.second);
        return result;
    }

private:
    static MessageRecorder*& current()
    {
        static MessageRecorder* recorder = nullptr;
        return recorder;
    }
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (MessageRecorder* recorder = current()) {
            QMutexLocker lock(&recorder->m_lock);
            recorder->m_entries.append({type, text});
        }
    }
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_lock;
    QList<QPair<QtMsgType, QString>> m_entries;
};

// Sends what is written to standard error into a file while it lives.
class StderrCapture
{
public:
    explicit StderrCapture(const QString& path)
    {
        std::fflush(stderr);
        m_saved = dup(2);
        m_file = std::fopen(path.toLocal8Bit().constData(), "w");
        dup2(fileno(m_file), 2);
    }
    ~StderrCapture()
    {
        std::fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
        std::fclose(m_file);
    }

private:
    int m_saved = -1;
    std::FILE* m_file = nullptr;
};

} // namespace testsupport
