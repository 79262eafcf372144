#pragma once

#include <QByteArray>
#include <QtGlobal>

// Conversions between the texts of parameter items and their value bytes. Numbers are
// little-endian; every routine reads and writes only the sizes it is given.

// An unsigned number: base 0 means automatic ("0x" hexadecimal, a leading "0" octal, else
// decimal). No sign, no blanks; false on anything else or on overflow of 64 bits.
bool parseUnsigned(const QByteArray& text, int base, quint64* value);

// `text` as an unsigned number scaled by `dp` decimal places (-1: none, automatic base),
// written into `size` bytes of `dest`; bytes beyond the eighth are zero.
bool numbTo(const QByteArray& text, int size, int dp, quint8* dest);
// The decimal text of `size` bytes at `src` (only the first 8 count), with `dp` decimal
// places; empty when the value is at most 8 bytes of FFh.
QByteArray numbFromParam(int size, int dp, const quint8* src);

// The device's one-byte exchange timeout from milliseconds, and back from up to 8 bytes.
bool tmtToParamValue(const QByteArray& text, quint8* dest);
QByteArray tmtFromParamValue(const quint8* src, int size);

// "dd/mm/yy" and "hh:mm:ss" to and from three bytes, without range checks.
bool dateFromText(const QByteArray& text, quint8* dest);
bool timeFromText(const QByteArray& text, quint8* dest);
QByteArray dateToText(const quint8* src);
QByteArray timeToText(const quint8* src);

// Upper-case hex pairs separated by one blank.
QByteArray hexSpaced(const QByteArray& bytes);

// The hex digits of a command item: blanks are skipped; a non-hex character or an odd
// number of digits fails. On success `bytes` holds every decoded byte.
bool hexTextToBytes(const QByteArray& text, QByteArray* bytes);
