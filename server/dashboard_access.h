// Who may see the dashboard and its API: whoever presents the token of the
// token file, as the password of HTTP Basic (any user name) or as an
// "Authorization: Bearer" token. An address that fails too often is turned
// away for a while, right token or not, so the token cannot be guessed.
//
// Check is called from the HTTP worker threads, several at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

// The token must be long enough not to be guessed within the rate limit.
inline constexpr size_t kMinTokenBytes = 16;
inline constexpr size_t kMaxTokenBytes = 1024;

// Reads the token: the file's first line without its line end, 16 to 1024
// visible ASCII characters (no blank). False, with the reason in error,
// otherwise.
[[nodiscard]] bool ReadTokenFile(const std::string& path, std::string& token, std::string& error);

enum class AccessVerdict {
  kAllowed,
  kDenied,   // no or a wrong token: 401
  kLimited,  // too many failures from this address: 429
};

class DashboardAccess {
 public:
  using Clock = std::chrono::steady_clock;

  // failures wrong attempts per window and address; beyond them, every
  // request of that address is limited until its window ends.
  DashboardAccess(std::string token, int failures = 10,
                  std::chrono::seconds window = std::chrono::seconds(60));

  // authorization: the request's Authorization header, empty when absent.
  AccessVerdict Check(const std::string& authorization, const std::string& client,
                      Clock::time_point now);

  // Whole seconds until the address may try again (at least 1).
  int64_t RetryAfterSeconds(const std::string& client, Clock::time_point now);

 private:
  struct Failures {
    int count = 0;
    Clock::time_point windowStart;
  };
  bool Matches(const std::string& presented) const;
  void Forget(Clock::time_point now);

  const std::string digest_;  // SHA-256 of the token
  const int maxFailures_;
  const std::chrono::seconds window_;
  std::mutex lock_;
  std::map<std::string, Failures> failures_;
};

// The secret an Authorization header presents: the password of "Basic"
// (base64 of user:password) or the token of "Bearer", schemes in any case.
// Empty when the header holds neither.
std::string PresentedSecret(const std::string& authorization);
