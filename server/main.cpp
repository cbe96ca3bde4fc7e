// tovi-server: the reference statistics server and installer host.
//
// Once listening it prints "tovi-server listening on ADDR:PORT" on standard
// output, so scripts started with --port 0 learn the port. SIGINT and
// SIGTERM stop it; the database is closed properly before it exits.

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/comm_file_signature.h"
#include "server/dashboard_setup.h"
#include "server/descriptor_budget.h"
#include "server/event_store.h"
#include "server/http_server.h"
#include "server/installer_files.h"
#include "server/part_digests.h"
#include "server/query_validation.h"
#include "server/request_gate.h"
#include "server/routes.h"

namespace {

constexpr const char* kUsage =
    "usage: tovi-server [OPTION VALUE]... [--quiet] [--help]\n"
    "  --bind ADDR           numeric address to listen on (default 127.0.0.1)\n"
    "  --port N              port to listen on, 0 for any free one (default 8101)\n"
    "  --parts DIR           directory whose regular files are the installer parts\n"
    "                        (default ./parts)\n"
    "  --db FILE|CONNINFO    where the reported events are kept: an SQLite file\n"
    "                        (default ./tovi-server.sqlite3) or a PostgreSQL\n"
    "                        connection string (postgresql://... or host=... dbname=...)\n"
    "  --parts-base-url URL  name the parts at URL + name (an http URL: a CDN, or\n"
    "                        nginx serving the parts directory); parts are then\n"
    "                        not served here, but sizes and digests still come\n"
    "                        from --parts\n"
    "  --rate-limit BYTES_PER_SECOND\n"
    "                        each part download sends at most this many bytes a\n"
    "                        second (per connection; default 0, no limit)\n"
    "  --threads N           worker threads (default: the number of processors)\n"
    "  --max-header-bytes N  all header lines of a request (default 16384; 431)\n"
    "  --max-headers N       header lines of a request (default 100; 431)\n"
    "  --max-uri-bytes N     request target with its query (default 8192; 414)\n"
    "  --header-timeout S    seconds to send a whole request header (default 10; 408)\n"
    "  --idle-timeout S      seconds a connection may pass without traffic (default 30)\n"
    "  --max-connections N   open connections in all (default 1024; 503 beyond)\n"
    "  --max-connections-per-client N\n"
    "                        open connections per client address (default 64; 429)\n"
    "  --dashboard-token-file FILE\n"
    "                        serve the publisher's dashboard (/dashboard, /api/summary,\n"
    "                        /api/events.csv) to whoever presents the token on the\n"
    "                        file's first line (Basic password or Bearer); without\n"
    "                        it those paths are 404\n"
    "  --signing-key FILE    sign every communication file with this ECDSA P-256\n"
    "                        private key (PEM), in the X-Tovi-Signature header\n"
    "  --store-timeout MS    a report, start or resume the event store has not\n"
    "                        answered within this many milliseconds gets 503 with\n"
    "                        Retry-After (default 2000)\n"
    "  --db-connections N    PostgreSQL connections (and store threads) per server\n"
    "                        (default 8; SQLite uses one)\n"
    "  --report-rate R       requests that store an event (reports, starts,\n"
    "                        resumes) per second per client address (default 20;\n"
    "                        429 beyond; 0: no limit)\n"
    "  --report-burst N      ... of which at most N at once (default 40)\n"
    "  --quiet               no line per request on standard error\n"
    "  --help                show this text\n";

struct Options {
  std::string bind = "127.0.0.1";
  int port = 8101;
  std::string parts = "./parts";
  std::string db = "./tovi-server.sqlite3";
  std::string partsBaseUrl;
  std::string dashboardTokenFile;
  std::string signingKey;
  int dbConnections = 8;
  HttpSettings http;
};

// An http URL that can stand in a communication file as it is: printable,
// no blank, quote or backslash, and with a host.
bool IsPartsBaseUrl(const std::string& url) {
  static const std::string kScheme = "http://";
  if (url.rfind(kScheme, 0) != 0 || url.size() == kScheme.size() || url.size() > 1024) {
    return false;
  }
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '\\' || c == '?' || c == '#') {
      return false;
    }
  }
  return url[kScheme.size()] != '/';
}

bool ParseCount(const std::string& text, int64_t least, int64_t most, int64_t& value) {
  return ParseInt64Text(text, value) && value >= least && value <= most;
}

// 0: run; 1: stop with success (--help); 2: bad command line.
int ParseOptions(int argc, char** argv, Options& options) {
  HttpSettings& http = options.http;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 1;
    }
    if (arg == "--quiet") {
      http.requestLog = false;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "tovi-server: unknown option or missing value: %s\n%s", arg.c_str(),
                   kUsage);
      return 2;
    }
    const std::string value = argv[++i];
    int64_t number = 0;
    bool ok = true;
    constexpr int64_t kMaxInt = 1 << 30;
    if (arg == "--bind") {
      options.bind = value;
    } else if (arg == "--parts") {
      options.parts = value;
    } else if (arg == "--db") {
      options.db = value;
    } else if (arg == "--dashboard-token-file") {
      options.dashboardTokenFile = value;
    } else if (arg == "--parts-base-url") {
      ok = IsPartsBaseUrl(value);
      options.partsBaseUrl = value.back() == '/' ? value : value + "/";
    } else if (arg == "--signing-key") {
      options.signingKey = value;
    } else if (arg == "--port") {
      ok = ParseCount(value, 0, 65535, number);
      options.port = static_cast<int>(number);
    } else if (arg == "--rate-limit") {
      ok = ParseCount(value, 0, INT64_MAX, http.rateLimit);
    } else if (arg == "--threads") {
      ok = ParseCount(value, 1, 256, number);
      http.threads = static_cast<int>(number);
    } else if (arg == "--max-header-bytes") {
      ok = ParseCount(value, 256, kMaxInt, http.maxHeaderBytes);
    } else if (arg == "--max-headers") {
      ok = ParseCount(value, 1, kMaxInt, number);
      http.maxHeaders = static_cast<int>(number);
    } else if (arg == "--max-uri-bytes") {
      ok = ParseCount(value, 64, kMaxInt, http.maxUriBytes);
    } else if (arg == "--header-timeout") {
      ok = ParseCount(value, 1, 86400, number);
      http.headerTimeoutSeconds = static_cast<int>(number);
    } else if (arg == "--idle-timeout") {
      ok = ParseCount(value, 1, 86400, number);
      http.idleTimeoutSeconds = static_cast<int>(number);
    } else if (arg == "--max-connections") {
      ok = ParseCount(value, 1, 1000000, number);
      http.maxConnections = static_cast<int>(number);
    } else if (arg == "--store-timeout") {
      ok = ParseCount(value, 10, 600000, number);
      http.storeTimeoutMs = static_cast<int>(number);
    } else if (arg == "--report-rate") {
      ok = ParseCount(value, 0, 1000000, number);
      http.reportRate = static_cast<double>(number);
    } else if (arg == "--report-burst") {
      ok = ParseCount(value, 1, 1000000, number);
      http.reportBurst = static_cast<double>(number);
    } else if (arg == "--db-connections") {
      ok = ParseCount(value, 1, 1000, number);
      options.dbConnections = static_cast<int>(number);
    } else if (arg == "--max-connections-per-client") {
      ok = ParseCount(value, 1, 1000000, number);
      http.maxConnectionsPerClient = static_cast<int>(number);
    } else {
      std::fprintf(stderr, "tovi-server: unknown option: %s\n%s", arg.c_str(), kUsage);
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "tovi-server: bad value for %s: %s\n", arg.c_str(), value.c_str());
      return 2;
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

// Checks the names and hashes every part before listening, so the first
// start request does not wait for a large part. False when the directory
// holds a name the server must not hand out.
bool PrepareParts(const std::string& dir, PartDigests& digests) {
  std::vector<InstallerPart> parts;
  std::string badName;
  switch (ListInstallerParts(dir, parts, badName)) {
    case PartsListing::kUnreadable:
      std::fprintf(stderr, "tovi-server: cannot read the parts directory %s\n", dir.c_str());
      return false;
    case PartsListing::kBadName:
      std::fprintf(stderr,
                   "tovi-server: the part name \"%s\" is not a portable file name; part names "
                   "may hold only A-Z a-z 0-9 . _ - (not first '.' or '-', not last '.') and "
                   "must not be a Windows device name. Rename it.\n",
                   badName.c_str());
      return false;
    case PartsListing::kOk:
      break;
  }
  if (parts.empty()) {
    std::fprintf(stderr,
                 "tovi-server: warning: no parts in %s; start and resume answer 503 until "
                 "there are\n",
                 dir.c_str());
  }
  for (auto& part : parts) {
    if (!digests.Digest(dir, part, part.sha256)) {
      std::fprintf(stderr, "tovi-server: cannot read part %s\n", part.name.c_str());
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const unsigned processors = std::thread::hardware_concurrency();
  options.http.threads = processors < 2 ? 2 : (processors > 16 ? 16 : static_cast<int>(processors));
  if (const int parsed = ParseOptions(argc, argv, options); parsed != 0) {
    return parsed == 1 ? 0 : 2;
  }
  if (!IsDirectory(options.parts)) {
    std::fprintf(stderr, "tovi-server: parts directory not found: %s\n", options.parts.c_str());
    return 1;
  }

  // Signals are taken with sigwait on the main thread, so stopping happens
  // in ordinary code. The mask is set before any thread starts and inherited.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!RecvGateActive()) {
    std::fprintf(stderr,
                 "tovi-server: the request framing check is not in place (recv is not "
                 "the server's own); refusing to start\n");
    return 1;
  }

  std::unique_ptr<CommFileSigner> signer;
  if (!options.signingKey.empty()) {
    std::string keyError;
    signer = CommFileSigner::FromPemFile(options.signingKey, &keyError);
    if (!signer) {
      std::fprintf(stderr, "tovi-server: %s\n", keyError.c_str());
      return 1;
    }
  }

  PartDigests digests(stderr);
  if (!PrepareParts(options.parts, digests)) return 1;

  std::string error;
  const bool postgres = IsPostgresConnectionString(options.db);
  options.http.storeWorkers = postgres ? options.dbConnections : 1;
  {
    const DescriptorBudget budget = FitConnections(
        RaiseDescriptorLimit(), options.http.maxConnections, options.http.threads,
        // The dashboard reads through a connection of its own.
        options.http.storeWorkers + (options.dashboardTokenFile.empty() ? 0 : 1), kRefusalSlots);
    if (budget.lowered && budget.maxConnections < 16) {
      std::fprintf(stderr,
                   "tovi-server: the descriptor limit (%lld) leaves room for %d connections; "
                   "raise it (ulimit -n)\n",
                   static_cast<long long>(budget.limit), budget.maxConnections);
      return 1;
    }
    if (budget.lowered) {
      std::fprintf(stderr,
                   "tovi-server: the descriptor limit (%lld) fits %d connections, not %d: "
                   "--max-connections lowered to %d (raise the limit with ulimit -n or "
                   "LimitNOFILE= to allow more)\n",
                   static_cast<long long>(budget.limit), budget.maxConnections,
                   options.http.maxConnections, budget.maxConnections);
      options.http.maxConnections = budget.maxConnections;
    }
  }
  std::unique_ptr<EventStore> store =
      OpenEventStore(options.db, options.http.storeWorkers, options.http.storeTimeoutMs, error);
  if (!store) {
    std::fprintf(stderr, "tovi-server: cannot open the database: %s\n", error.c_str());
    return 1;
  }

  ServerContext context;
  context.partsDir = options.parts;
  context.store = store.get();
  context.digests = &digests;
  context.partsBaseUrl = options.partsBaseUrl;
  context.signer = signer.get();
  std::unique_ptr<Dashboard> dashboard;
  if (!options.dashboardTokenFile.empty()) {
    dashboard = OpenDashboard(options.db, options.dashboardTokenFile, error);
    if (!dashboard) {
      std::fprintf(stderr, "tovi-server: cannot serve the dashboard: %s\n", error.c_str());
      return 1;
    }
    context.dashboard = &dashboard->context;
  }
  HttpServer server(context, options.http);
  if (!server.Listen(options.bind, options.port, error)) {
    std::fprintf(stderr, "tovi-server: cannot listen on %s: %s\n",
                 HostPort(options.bind, options.port).c_str(), error.c_str());
    return 1;
  }
  context.fallbackHost = HostPort(options.bind, server.Port());
  if (!server.Serve(error)) {
    std::fprintf(stderr, "tovi-server: %s\n", error.c_str());
    return 1;
  }

  std::printf("tovi-server listening on %s\n", context.fallbackHost.c_str());
  std::fflush(stdout);
  int received = 0;
  sigwait(&stopSignals, &received);
  std::fprintf(stderr, "tovi-server: stopping\n");
  server.Stop();
  store->Close();
  std::fprintf(stderr, "tovi-server: stopped\n");
  return 0;
}
