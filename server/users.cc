#include "server/users.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

namespace orv::server {

namespace {

constexpr const char* kScheme = "pbkdf2-sha256";
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
// Bounds on a file's iteration counts: fewer is no protection, more would let
// one log-in hold a connection thread for minutes.
constexpr int kMinIterations = 1000;
constexpr int kMaxIterations = 100000000;

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::optional<std::string> Unhex(std::string_view text) {
  if (text.empty() || text.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    if (ec != std::errc() || end != text.data() + i + 2) return std::nullopt;
    out += static_cast<char>(value);
  }
  return out;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

// A name travels as one ';'-ended field of the log-in command and is the
// first ':'-ended field of its line.
bool ValidName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (c == ':' || c == ';' || c == '\n' || c == '\r') return false;
  }
  return true;
}

}  // namespace

std::optional<UserTable::Account> UserTable::ParseAccount(const std::string& spec) {
  std::vector<std::string_view> f = Split(spec, ':');
  if (f.size() != 4 || f[0] != kScheme) return std::nullopt;
  Account a;
  auto [end, ec] = std::from_chars(f[1].data(), f[1].data() + f[1].size(), a.iterations);
  if (ec != std::errc() || end != f[1].data() + f[1].size() || a.iterations < kMinIterations ||
      a.iterations > kMaxIterations)
    return std::nullopt;
  auto salt = Unhex(f[2]);
  auto hash = Unhex(f[3]);
  if (!salt || !hash || hash->size() != kHashBytes) return std::nullopt;
  a.salt = std::move(*salt);
  a.hash = std::move(*hash);
  return a;
}

std::optional<UserTable> UserTable::Parse(const std::string& text, std::string* error) {
  UserTable table;
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::size_t colon = line.find(':');
    std::string name = line.substr(0, colon);
    std::optional<Account> account;
    if (colon != std::string::npos && ValidName(name)) account = ParseAccount(line.substr(colon + 1));
    if (!account) {
      *error = "line " + std::to_string(number) +
               ": expected name:pbkdf2-sha256:ITERATIONS:SALT:HASH (see --hash-password)";
      return std::nullopt;
    }
    if (!table.accounts_.emplace(name, std::move(*account)).second) {
      *error = "line " + std::to_string(number) + ": user '" + name + "' is listed twice";
      return std::nullopt;
    }
  }
  return table;
}

std::optional<UserTable> UserTable::Load(const std::string& path, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot read " + path;
    return std::nullopt;
  }
  std::ostringstream text;
  text << file.rdbuf();
  auto table = Parse(text.str(), error);
  if (!table) *error = path + ": " + *error;
  return table;
}

std::string UserTable::Derive(const std::string& password, const Account& like) {
  std::string out(kHashBytes, '\0');
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                        reinterpret_cast<const unsigned char*>(like.salt.data()),
                        static_cast<int>(like.salt.size()), like.iterations, EVP_sha256(),
                        static_cast<int>(out.size()),
                        reinterpret_cast<unsigned char*>(out.data())) != 1)
    return std::string();
  return out;
}

bool UserTable::Verify(const std::string& name, const std::string& password) const {
  auto it = accounts_.find(name);
  if (it == accounts_.end()) {
    // Spend the same time on a name that does not exist.
    Account dummy{UserTable::kDefaultIterations, std::string(kSaltBytes, 's'),
                  std::string(kHashBytes, '\0')};
    if (!accounts_.empty()) dummy.iterations = accounts_.begin()->second.iterations;
    Derive(password, dummy);
    return false;
  }
  const std::string derived = Derive(password, it->second);
  return derived.size() == kHashBytes &&
         CRYPTO_memcmp(derived.data(), it->second.hash.data(), kHashBytes) == 0;
}

std::string UserTable::HashEntry(const std::string& name, const std::string& password,
                                 int iterations, std::string* error) {
  if (!ValidName(name)) {
    *error = "a user name must be non-empty and hold no ':', ';' or line break";
    return std::string();
  }
  if (iterations < kMinIterations || iterations > kMaxIterations) {
    *error = "iterations must be from " + std::to_string(kMinIterations) + " to " +
             std::to_string(kMaxIterations);
    return std::string();
  }
  Account a;
  a.iterations = iterations;
  a.salt.assign(kSaltBytes, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(a.salt.data()),
                 static_cast<int>(a.salt.size())) != 1) {
    *error = "no random salt available";
    return std::string();
  }
  a.hash = Derive(password, a);
  if (a.hash.empty()) {
    *error = "password derivation failed";
    return std::string();
  }
  return name + ":" + kScheme + ":" + std::to_string(iterations) + ":" + Hex(a.salt) + ":" +
         Hex(a.hash);
}

}  // namespace orv::server
