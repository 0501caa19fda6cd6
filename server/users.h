// UserTable: the accounts that may log in to rdbserver, loaded from the file
// named by --users, and the salted password hashes they are checked against.
//
// One account per line: "name:pbkdf2-sha256:ITERATIONS:SALT:HASH", salt and
// hash in lower-case hexadecimal; blank lines and lines starting with '#'
// are skipped. The hash is PBKDF2-HMAC-SHA256 (OpenSSL) of the password with
// the salt, so a stolen file does not give the passwords away and each guess
// costs the same slow derivation. `rdbserver --hash-password` writes lines of
// this form (HashEntry).
//
// Immutable after Load; Verify may be called from any number of threads.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace orv::server {

class UserTable {
 public:
  // Iterations of a new entry: slow enough to make guessing expensive.
  static constexpr int kDefaultIterations = 600000;

  // Reads the account file. On failure returns nothing and sets *error to
  // a message naming the line.
  static std::optional<UserTable> Load(const std::string& path, std::string* error);
  // Parses the text of an account file, as Load does.
  static std::optional<UserTable> Parse(const std::string& text, std::string* error);

  // True when `name` is an account and `password` its password. An unknown
  // name costs the same derivation as a known one, so timing does not tell
  // which names exist.
  bool Verify(const std::string& name, const std::string& password) const;

  // A line for the file with a fresh random salt. Empty (and *error set) when
  // the name cannot be written as one field or no random salt is available.
  static std::string HashEntry(const std::string& name, const std::string& password,
                               int iterations, std::string* error);

  std::size_t size() const { return accounts_.size(); }

 private:
  struct Account {
    int iterations = 0;
    std::string salt;  // raw bytes
    std::string hash;  // raw bytes
  };

  static std::optional<Account> ParseAccount(const std::string& spec);
  static std::string Derive(const std::string& password, const Account& like);

  std::map<std::string, Account> accounts_;
};

}  // namespace orv::server
