#pragma once

#include <QFileDevice>
#include <QSerialPort>
#include <QString>

// The file a port name stands for: a full path as it is, otherwise the name under /dev.
QString portSystemPath(const QString& portName);

// A system error text as the port library gives it (the C library's English wording of an
// errno) in Russian; a text it does not know stays as it is.
QString systemReasonText(const QString& errorString);

// How to get access to a port the user may not open: join its group when that group may read
// and write it (never root), else the udev rule that gives the dialout group access.
QString permissionAdvice(const QString& path, const QString& owner, const QString& group,
                         QFileDevice::Permissions permissions);

// What to tell the user when a port would not open: the system's reason and, for a
// permission problem, how to fix it. A port that we may use but that another program
// holds (the port library reports its lock as a permission error) is called busy.
QString openFailureReason(const QString& portName, QSerialPort::SerialPortError error,
                          const QString& errorString);
