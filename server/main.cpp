// tovi-server: the reference statistics server and installer host.
//
//   tovi-server [--bind ADDR] [--port N] [--parts DIR] [--db FILE]
//               [--rate-limit BYTES_PER_SECOND] [--help]
//
// Once listening it prints "tovi-server listening on ADDR:PORT" on standard
// output, so scripts started with --port 0 learn the port. SIGINT and
// SIGTERM stop it; the database is closed properly before it exits.

#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "server/event_store.h"
#include "server/installer_files.h"
#include "server/part_digests.h"
#include "server/query_validation.h"
#include "server/routes.h"

namespace {

constexpr const char* kUsage =
    "usage: tovi-server [--bind ADDR] [--port N] [--parts DIR] [--db FILE]\n"
    "                   [--rate-limit BYTES_PER_SECOND] [--help]\n"
    "  --bind ADDR   address to listen on (default 127.0.0.1)\n"
    "  --port N      port to listen on, 0 for any free one (default 8101)\n"
    "  --parts DIR   directory whose regular files are the installer parts (default ./parts)\n"
    "  --db FILE     SQLite database of the reported events (default ./tovi-server.sqlite3)\n"
    "  --rate-limit BYTES_PER_SECOND\n"
    "                each part download sends at most this many bytes a second\n"
    "                (per connection; default 0, no limit)\n"
    "  --help        show this text\n";

struct Options {
  std::string bind = "127.0.0.1";
  int port = 8101;
  std::string parts = "./parts";
  std::string db = "./tovi-server.sqlite3";
  int64_t rateLimit = 0;
};

// 0: run; 1: stop with success (--help); 2: bad command line.
int ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 1;
    }
    if (i + 1 >= argc || (arg != "--bind" && arg != "--port" && arg != "--parts" && arg != "--db" &&
                          arg != "--rate-limit")) {
      std::fprintf(stderr, "tovi-server: unknown option or missing value: %s\n%s", arg.c_str(),
                   kUsage);
      return 2;
    }
    const std::string value = argv[++i];
    if (arg == "--bind") {
      options.bind = value;
    } else if (arg == "--parts") {
      options.parts = value;
    } else if (arg == "--db") {
      options.db = value;
    } else if (arg == "--rate-limit") {
      if (!ParseInt64Text(value, options.rateLimit) || options.rateLimit < 0) {
        std::fprintf(stderr, "tovi-server: bad rate limit: %s\n", value.c_str());
        return 2;
      }
    } else {
      int32_t port = 0;
      if (!ParsePartText(value, port) || port > 65535) {
        std::fprintf(stderr, "tovi-server: bad port: %s\n", value.c_str());
        return 2;
      }
      options.port = port;
    }
  }
  return 0;
}

std::string HostPort(const std::string& address, int port) {
  const bool ipv6 = address.find(':') != std::string::npos;
  return (ipv6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int parsed = ParseOptions(argc, argv, options); parsed != 0) {
    return parsed == 1 ? 0 : 2;
  }
  if (!IsDirectory(options.parts)) {
    std::fprintf(stderr, "tovi-server: parts directory not found: %s\n", options.parts.c_str());
    return 1;
  }

  // Signals are taken by one thread with sigwait, so stopping happens in
  // ordinary code. The mask is set before any thread starts and inherited.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGUSR1);  // wakes the waiter when the server ends by itself
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  EventStore store;
  std::string error;
  if (!store.Open(options.db, error)) {
    std::fprintf(stderr, "tovi-server: cannot open database %s: %s\n", options.db.c_str(),
                 error.c_str());
    return 1;
  }

  httplib::Server server;
  server.set_payload_max_length(64 * 1024);
  ServerContext context;
  context.partsDir = options.parts;
  context.store = &store;
  PartDigests digests(stderr);
  context.digests = &digests;
  // Hashed before listening, so the first start request does not wait for
  // a large part.
  for (auto& part : ListInstallerParts(options.parts)) {
    if (!digests.Digest(options.parts, part, part.sha256)) {
      std::fprintf(stderr, "tovi-server: cannot read part %s\n", part.name.c_str());
    }
  }
  context.rateLimit = options.rateLimit;

  int port = options.port;
  if (port == 0) {
    port = server.bind_to_any_port(options.bind);
    if (port <= 0) port = -1;
  } else if (!server.bind_to_port(options.bind, port)) {
    port = -1;
  }
  if (port < 0) {
    std::fprintf(stderr, "tovi-server: cannot listen on %s\n",
                 HostPort(options.bind, options.port).c_str());
    return 1;
  }
  context.fallbackHost = HostPort(options.bind, port);
  InstallRoutes(server, context);

  std::atomic<bool> serving{true};
  std::thread waiter([&server, &serving, &stopSignals] {
    int received = 0;
    if (sigwait(&stopSignals, &received) != 0 || received == SIGUSR1) return;
    std::fprintf(stderr, "tovi-server: stopping\n");
    // stop() does nothing before the accept loop has begun, so repeat it
    // until the loop has ended.
    while (serving.load()) {
      server.stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });

  std::printf("tovi-server listening on %s\n", context.fallbackHost.c_str());
  std::fflush(stdout);
  const bool clean = server.listen_after_bind();
  serving.store(false);
  pthread_kill(waiter.native_handle(), SIGUSR1);
  waiter.join();
  store.Close();
  std::fprintf(stderr, "tovi-server: stopped\n");
  return clean ? 0 : 1;
}
