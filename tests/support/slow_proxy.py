#!/usr/bin/env python3
"""A TCP relay on 127.0.0.1 that slows what the server sends to a fixed rate
per connection, for tests that must catch a download midway.

    slow_proxy.py <listen port> <server port> <bytes per second>

Prints "listening" once it accepts connections; ends on SIGTERM.
"""
import asyncio
import sys


async def relay(reader, writer, rate):
    try:
        while True:
            data = await reader.read(16384 if rate else 65536)
            if not data:
                break
            writer.write(data)
            await writer.drain()
            if rate:
                await asyncio.sleep(len(data) / rate)
    except (ConnectionError, asyncio.CancelledError):
        pass
    finally:
        writer.close()


async def main(listen_port, server_port, rate):
    async def handle(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", server_port)
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(relay(client_reader, server_writer, 0),
                             relay(server_reader, client_writer, rate))

    server = await asyncio.start_server(handle, "127.0.0.1", listen_port)
    print("listening", flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    asyncio.run(main(int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])))
