// A throw-away PostgreSQL cluster for the server tests: made with initdb in
// a sandbox (run as root: in a fresh directory in /tmp, which the postgres
// user can reach), listening on a Unix socket there only, stopped and removed when
// the test process ends. Unavailable (with the reason) where PostgreSQL is
// not installed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "server/server_test_support.h"
#include "support/sandbox.h"

class PostgresCluster {
 public:
  // The process's cluster, started on first use.
  static PostgresCluster& Shared();
  ~PostgresCluster();

  bool Available() const { return available_; }
  const std::string& Reason() const { return reason_; }

  // A connection string for a new, empty database of this cluster; empty
  // on failure.
  std::string NewDatabase();

  // Sends signal (SIGSTOP: the database hangs; SIGCONT: it goes on) to the
  // cluster's postmaster and every process it started. False when there
  // was none to signal.
  bool SignalAll(int signal);

 private:
  PostgresCluster();
  bool Run(const std::vector<std::string>& args, bool asClusterOwner);

  Sandbox box_;
  std::string bin_;
  std::string dir_;     // the cluster's directory, its socket's too
  std::string ownDir_;  // made in /tmp for the postgres user; removed at the end
  std::string dataDir_;
  bool asPostgresUser_ = false;
  bool available_ = false;
  std::string reason_;
  int databases_ = 0;
};

// Every stored event in order, from the PostgreSQL database conninfo names.
std::vector<EventRow> ReadPostgresEvents(const std::string& conninfo);
