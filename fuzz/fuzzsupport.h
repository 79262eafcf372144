#pragma once

#include "shippedcodec.h"

#include <QCoreApplication>
#include <QTemporaryFile>

// The toolkit's messages silenced, so that the debug traces do not dominate the run.
inline void silenceMessages()
{
    static const bool silenced = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return true;
    }();
    (void)silenced;
}

// One temporary file for the whole run, holding the current input.
inline QFile* inputFile(const uint8_t* data, size_t size)
{
    static QTemporaryFile* file = [] {
        auto* created = new QTemporaryFile;
        created->open();
        created->close();
        return created;
    }();
    file->open();
    file->resize(0);
    file->write(reinterpret_cast<const char*>(data), qint64(size));
    file->close();
    return file;
}

// The shipped tables and codec, loaded once per fuzzing process.
inline testsupport::ShippedCodec& shippedCodec()
{
    static testsupport::ShippedCodec* shipped = [] {
        silenceMessages();
        auto* created = new testsupport::ShippedCodec;
        created->load();
        return created;
    }();
    return *shipped;
}
