#!/usr/bin/env python3
"""A misbehaving network port server on 127.0.0.1 for the tests: hostile_server.py MODE PORT
[DEVICE]. It serves one connection at a time, for a bounded time and size, and prints a line
for each subnegotiation a client sent it.

  flood   sends garbage without end (128 MiB at most)
  endless sends IAC SB COM-PORT-OPTION and a body without end (128 MiB at most)
  refuse  refuses COM-PORT-OPTION (DONT), agrees to BINARY and SGA, and relays the line to
          the pseudo-terminal DEVICE"""
import os
import select
import socket
import sys
import time
import tty

IAC, DONT, DO, WONT, WILL, SB, SE = 255, 254, 253, 252, 251, 250, 240
COM_PORT, MOST, SECONDS = 44, 128 << 20, 30


def stream(client, head, body):
    client.sendall(head)
    sent, start = 0, time.monotonic()
    while sent < MOST and time.monotonic() - start < SECONDS:
        client.sendall(body)
        sent += len(body)


def relay(client, device):
    os.set_blocking(device, False)
    state, verb, line = 'data', 0, bytearray()
    while True:
        ready, _, _ = select.select([client, device], [], [], SECONDS)
        if not ready:
            return
        if device in ready:
            client.sendall(os.read(device, 4096).replace(b'\xff', b'\xff\xff'))
        if client not in ready:
            continue
        data = client.recv(4096)
        if not data:
            return
        for byte in data:
            if state == 'data':
                state = 'iac' if byte == IAC else state
                if byte != IAC:
                    line.append(byte)
            elif state == 'iac':
                state, verb = {IAC: 'data', SB: 'sb'}.get(byte, 'option'), byte
                if byte == IAC:
                    line.append(IAC)
            elif state == 'option':
                answer = {WILL: DONT, DO: WONT} if byte == COM_PORT else {WILL: DO, DO: WILL}
                if verb in answer:
                    client.sendall(bytes([IAC, answer[verb], byte]))
                state = 'data'
            elif state == 'sb':
                print('SB', byte, flush=True)
                state = 'sbbody'
            elif state == 'sbbody' and byte == IAC:
                state = 'sbiac'
            elif state == 'sbiac':
                state = 'data' if byte == SE else 'sbbody'
        os.write(device, bytes(line))
        line.clear()


mode, port = sys.argv[1], int(sys.argv[2])
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(('127.0.0.1', port))
server.listen(1)
device = None
if mode == 'refuse':
    device = os.open(sys.argv[3], os.O_RDWR | os.O_NOCTTY)
    tty.setraw(device)
print('listening', flush=True)
while True:
    client, _ = server.accept()
    try:
        if mode == 'flood':
            stream(client, b'', bytes(range(256)) * 256)
        elif mode == 'endless':
            stream(client, bytes([IAC, SB, COM_PORT]), b'\x06\x02' * 32768)
        else:
            relay(client, device)
    except OSError:
        pass
    client.close()
