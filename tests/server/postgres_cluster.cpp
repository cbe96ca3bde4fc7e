#include "server/postgres_cluster.h"

#include <glob.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

struct ConnectionCloser {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
struct ResultClear {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Connection = std::unique_ptr<PGconn, ConnectionCloser>;
using Result = std::unique_ptr<PGresult, ResultClear>;

// The newest installed server's programs; empty when there is none.
std::string FindServerBin() {
  glob_t found{};
  std::string bin;
  if (glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &found) == 0) {
    for (size_t i = 0; i < found.gl_pathc; ++i) {
      const std::string path = found.gl_pathv[i];
      const std::string dir = path.substr(0, path.size() - std::string("/initdb").size());
      if (access((dir + "/pg_ctl").c_str(), X_OK) == 0) bin = dir;  // sorted: the last is newest
    }
  }
  globfree(&found);
  return bin;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// bytea in the text output form "\x6869".
std::string FromByteaHex(const std::string& text) {
  std::string bytes;
  for (size_t i = 2; i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<char>(HexValue(text[i]) * 16 + HexValue(text[i + 1])));
  }
  return bytes;
}

}  // namespace

PostgresCluster& PostgresCluster::Shared() {
  static PostgresCluster cluster;
  return cluster;
}

PostgresCluster::PostgresCluster() {
  bin_ = FindServerBin();
  if (bin_.empty()) {
    reason_ = "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb)";
    return;
  }
  std::string dir = box_.Path("pg");
  // The server refuses to run as root: the cluster then belongs to the
  // system's postgres user, who may not enter the sandbox's parents (a
  // clone under /root): its directory is a fresh one in /tmp.
  if (geteuid() == 0) {
    char pattern[] = "/tmp/tovi-pg-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      reason_ = "could not make a directory for the test cluster in /tmp";
      return;
    }
    dir = pattern;
    ownDir_ = dir;
  }
  dir_ = dir;
  dataDir_ = dir + "/data";
  std::filesystem::create_directories(dir);
  if (geteuid() == 0) {
    const passwd* owner = getpwnam("postgres");
    if (owner == nullptr || chown(dir.c_str(), owner->pw_uid, owner->pw_gid) != 0) {
      reason_ = "running as root and there is no postgres user to own a test cluster";
      return;
    }
    asPostgresUser_ = true;
  }
  if (!Run({bin_ + "/initdb", "-D", dataDir_, "-A", "trust", "-U", "postgres", "-E", "UTF8",
            "--locale=C", "--no-sync"},
           true)) {
    reason_ = "initdb failed:\n" + ReadFileBytes(box_.Path("run.log"));
    return;
  }
  if (!Run({bin_ + "/pg_ctl", "-D", dataDir_, "-l", dir + "/server.log", "-w", "-t", "60", "-o",
            "-k " + dir + " -c listen_addresses='' -c fsync=off", "start"},
           true)) {
    reason_ = "the test cluster did not start:\n" + ReadFileBytes(box_.Path("run.log")) +
              ReadFileBytes(dir + "/server.log");
    return;
  }
  available_ = true;
}

PostgresCluster::~PostgresCluster() {
  if (available_) Run({bin_ + "/pg_ctl", "-D", dataDir_, "-m", "immediate", "-w", "stop"}, true);
  std::error_code ignored;
  if (!ownDir_.empty()) std::filesystem::remove_all(ownDir_, ignored);
}

bool PostgresCluster::Run(const std::vector<std::string>& args, bool asClusterOwner) {
  std::vector<std::string> command;
  if (asClusterOwner && asPostgresUser_) command = {"/usr/sbin/runuser", "-u", "postgres", "--"};
  command.insert(command.end(), args.begin(), args.end());
  const std::string log = box_.Path("run.log");
  const pid_t pid = fork();
  if (pid == 0) {
    FILE* out = std::fopen(log.c_str(), "a");
    if (out != nullptr) {
      dup2(fileno(out), STDOUT_FILENO);
      dup2(fileno(out), STDERR_FILENO);
    }
    std::vector<char*> argv;
    for (auto& arg : command) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0) return false;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string PostgresCluster::NewDatabase() {
  if (!available_) return "";
  const std::string base = "host=" + dir_ + " user=postgres dbname=";
  Connection admin(PQconnectdb((base + "postgres").c_str()));
  if (PQstatus(admin.get()) != CONNECTION_OK) return "";
  const std::string name = "tovi" + std::to_string(++databases_);
  Result created(PQexec(admin.get(), ("CREATE DATABASE " + name).c_str()));
  if (PQresultStatus(created.get()) != PGRES_COMMAND_OK) return "";
  return base + name;
}

bool PostgresCluster::SignalAll(int signal) {
  if (!available_) return false;
  std::ifstream pidFile(dataDir_ + "/postmaster.pid");
  long postmaster = 0;
  if (!(pidFile >> postmaster) || postmaster <= 0) return false;
  std::vector<pid_t> pids = {static_cast<pid_t>(postmaster)};
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // "pid (comm) state ppid ...": comm may hold blanks, so read after ')'.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    long parent = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) == 2 &&
        parent == postmaster) {
      pids.push_back(static_cast<pid_t>(std::atol(name.c_str())));
    }
  }
  bool any = false;
  for (pid_t pid : pids) any = kill(pid, signal) == 0 || any;
  return any;
}

std::vector<EventRow> ReadPostgresEvents(const std::string& conninfo) {
  std::vector<EventRow> rows;
  Connection connection(PQconnectdb(conninfo.c_str()));
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    ADD_FAILURE() << PQerrorMessage(connection.get());
    return rows;
  }
  Result result(PQexec(connection.get(),
                       "SELECT event, mid, game, distributor, bytes, current_part, time"
                       " FROM events ORDER BY id"));
  if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
    ADD_FAILURE() << PQerrorMessage(connection.get());
    return rows;
  }
  PGresult* r = result.get();
  auto number = [r](int row, int column) -> std::optional<int64_t> {
    if (PQgetisnull(r, row, column)) return std::nullopt;
    return std::strtoll(PQgetvalue(r, row, column), nullptr, 10);
  };
  for (int row = 0; row < PQntuples(r); ++row) {
    EXPECT_GT(PQgetlength(r, row, 6), 0);
    rows.push_back({PQgetvalue(r, row, 0), FromByteaHex(PQgetvalue(r, row, 1)),
                    PQgetvalue(r, row, 2), PQgetvalue(r, row, 3), number(row, 4), number(row, 5)});
  }
  return rows;
}
