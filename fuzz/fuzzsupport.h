#pragma once

#include "shippedcodec.h"

#include <QCoreApplication>

// The shipped tables and codec, loaded once per fuzzing process, with the toolkit's
// messages silenced so that the debug traces do not dominate the run.
inline testsupport::ShippedCodec& shippedCodec()
{
    static testsupport::ShippedCodec* shipped = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        auto* created = new testsupport::ShippedCodec;
        created->load();
        return created;
    }();
    return *shipped;
}
