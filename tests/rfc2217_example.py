#!/usr/bin/env python3
"""The RFC 2217 example server of Debian's python3-serial, run unchanged in front of a
pseudo-terminal as a second real peer beside ser2net: rfc2217_example.py DEVICE TCPPORT.

A pseudo-terminal has no modem lines; their errors are ignored, as pyserial's own open
ignores them. The server listens on 127.0.0.1 only."""
import errno
import runpy
import socket
import sys

import serial.serialposix

EXAMPLE = '/usr/share/doc/python3-serial/examples/rfc2217_server.py'


def without_modem_lines(method, default=None):
    def call(self, *args):
        try:
            return method(self, *args)
        except OSError as error:
            if error.errno not in (errno.EINVAL, errno.ENOTTY):
                raise
            return default
    return call


Serial = serial.serialposix.Serial
for name in ('_update_dtr_state', '_update_rts_state', '_update_break_state'):
    setattr(Serial, name, without_modem_lines(getattr(Serial, name)))
for name in ('cts', 'dsr', 'ri', 'cd'):
    setattr(Serial, name, property(without_modem_lines(getattr(Serial, name).fget, False)))

_bind = socket.socket.bind


def bind_loopback(self, address):
    host, port = address[0], address[1]
    return _bind(self, ('127.0.0.1' if host in ('', '0.0.0.0') else host, port))


socket.socket.bind = bind_loopback
sys.argv = [EXAMPLE, sys.argv[1], '-p', sys.argv[2]]
runpy.run_path(EXAMPLE, run_name='__main__')
