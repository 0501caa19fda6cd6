// TOrvRDB: the connection to one RDB server and the database behind it.
//
// The component holds the connection settings, hands out server connections
// (`Connect`), frames every message sent or read on them (`Send`,
// `Receive`), sends the connection commands (log-in, close, and the three
// transaction commands) and keeps the list of datasets bound to it. It owns
// every socket it handed out and has not yet closed (the default socket, the
// connection of a user transaction, among them), sharing each with the
// transfers and waits running on it; its two locks and its two name caches.
//
// Connection handles are small integers that are never handed out twice
// while the component lives, so a stale handle names no connection at all
// rather than a newer one that happened to receive the same descriptor; -1
// names none.
//
// Threads: everything may be called from the application's thread. A
// dataset's background reader may call `Receive`, `WaitForData`, `Readn`,
// `Connected`, `CheckDefaultSocket`, `Disconnect`, `InTransaction` and
// `TimeOut` at the same time; `Connect` may run on either thread while the
// settings are not being changed. The settings (`Host` ... `DBPassword`),
// the name caches and the transaction commands belong to the application's
// thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../host/component.h"
#include "../host/exceptions.h"
#include "../host/strings.h"
#include "../host/syncobjs.h"
#include "../socket/zozud_socket.h"

#pragma GCC visibility push(default)
namespace orv {

// Every failure of the connection and of the protocol.
class EOrvRDBException : public Exception {
 public:
  using Exception::Exception;
};

// The unit's resource strings.
inline constexpr const char* sSocketRead = "Read";
inline constexpr const char* sSocketWrite = "Write";
inline constexpr const char* sSocketIOError = "%s error %d, %s";
inline constexpr const char* sCantChangeWhileActive =
    "Can't change value while OrvRDB is active";

// Fixed texts of the connection.
inline constexpr const char* sResultFormatError =
    "RDBServer Error: Result format is not correct";
inline constexpr const char* sConnectionClosed =
    "RDBServer Error: Connection closed by server";
inline constexpr const char* sFrameHeaderError =
    "RDBServer Error: Frame header '%s' is not four decimal digits";
inline constexpr const char* sReplyBrokenOff =
    "The result is incomplete: the server sent an empty frame inside its reply";

// Scoped, so that values of two enumerations never compare or convert to
// each other or to numbers; the values keep their prefixed names unqualified.
enum class TServerType : uint8_t { svUNIX, svNTServer };
enum class TDatabaseType : uint8_t { dtOracle, dtSybase };
enum class TWaitType : uint8_t { wtRead, wtWrite };
using enum TServerType;
using enum TDatabaseType;
using enum TWaitType;

// What the connection needs of a dataset bound to it: when the connection
// goes away it closes every bound dataset that is open.
class IOrvRDBDataSet {
 public:
  virtual void CloseForDatabase() = 0;

 protected:
  ~IOrvRDBDataSet() = default;
};

class TOrvRDB : public TComponent {
 public:
  explicit TOrvRDB(TComponent* owner);
  ~TOrvRDB() override;

  std::string ClassName() const override { return "TOrvRDB"; }

  // Framing (rdb/framing.cc).
  // Writes `message` as frames; returns the bytes written, headers included.
  // Stops at the first frame not written whole and drops that connection.
  int Send(int socket, const std::string& message);
  // The payload of the next frame. Waits for a slow server `TimeOut` at a
  // time without end; raises when the server closed the connection.
  std::string Receive(int socket);
  // Writes up to `count` bytes within `TimeOut`; returns how many went.
  int Writen(int socket, const void* buffer, int count);
  // Reads what arrives within `TimeOut` (at most `count`); 0 on time-out.
  int Readn(int socket, void* buffer, int count);
  bool WaitForData(int socket, int timeout_ms, TWaitType wait_type);
  // The code of a result line "<code>;<text>"; a negative code raises the
  // text.
  int GetResult(const std::string& reply);

  // Connections. Inside a user transaction `Connect` hands out the
  // transaction's connection, or -1 once that was lost.
  int Connect();
  void Disconnect(int socket);
  bool Connected(int socket);
  bool CheckDefaultSocket(int socket);
  void StartTransaction();
  void Commit();
  void Rollback();
  void AddOrvDataSet(IOrvRDBDataSet* dataset);
  void RemoveOrvDataSet(IOrvRDBDataSet* dataset);

  // True while the default socket is open.
  bool Active();
  bool InTransaction() const { return in_transaction_; }

  // Settings; a changed value is refused while active.
  const std::string& Host() const { return host_; }
  void SetHost(const std::string& value);
  int Port() const { return port_; }
  void SetPort(int value);
  const std::string& Address() const { return address_; }
  void SetAddress(const std::string& value);
  const std::string& Service() const { return service_; }
  void SetService(const std::string& value);
  const std::string& Database() const { return database_; }
  void SetDatabase(const std::string& value);
  TServerType ServerType() const { return server_type_; }
  void SetServerType(TServerType value);
  TDatabaseType DatabaseType() const { return database_type_; }
  void SetDatabaseType(TDatabaseType value);
  const std::string& DBUserId() const { return db_user_id_; }
  void SetDBUserId(const std::string& value);
  const std::string& DBPassword() const { return db_password_; }
  void SetDBPassword(const std::string& value);
  // Milliseconds each single wait lasts; values of 0 or less wait
  // kMinTimeOut.
  int TimeOut() const { return timeout_; }
  void SetTimeOut(int value) { timeout_ = value; }

  // The catalogue's name caches and whether it may ask the server for names.
  TStringList& TableNameCache() { return table_names_; }
  TStringList& ProcNameCache() { return proc_names_; }
  bool CatalogFetch() const { return catalog_fetch_; }
  void SetCatalogFetch(bool value) { catalog_fetch_ = value; }

  static constexpr int kMinTimeOut = 100;

 private:
  using TConnection = std::shared_ptr<TZozudSocket>;

  // The socket behind a handle, or nullptr. The caller keeps the socket
  // alive for as long as it holds the result, without any lock.
  TConnection Find(int socket);
  // Frames the close command onto a connection that already left the list;
  // a failure is ignored, the connection goes either way.
  void SendClose(TZozudSocket& connection);
  // Opens a connection (the default socket or a new listed one) and logs in
  // behind an NT server; -1 when the log-in could not be written.
  int OpenConnection(bool as_default);
  // Takes a handle off the list; its socket, or nullptr for an unknown one.
  TConnection Unlist(int socket);
  // Forgets a handle and shuts its socket down without a word to the
  // server, which wakes every wait on it. The list's reference goes here.
  void Drop(int socket);
  int EffectiveTimeOut() const;
  // Raises sCantChangeWhileActive while the default socket is open.
  void RefuseWhileActive();
  // Any setter call: the name caches may no longer match the settings.
  void SettingsTouched();
  // A setter's body: refuses a change while active, then SettingsTouched.
  // `setting` is the member itself, plain or atomic.
  template <typename Setting, typename T>
  void ChangeSetting(Setting& setting, const T& value);
  void EndTransaction(const char* command, const char* failure);

  std::vector<IOrvRDBDataSet*> datasets_;  // protected by datasets_lock_
  TCriticalSection datasets_lock_;
  // Every open connection by handle, the default one (a user transaction's)
  // included. A transfer or wait holds its own reference, so a socket's
  // descriptor is closed only when the last user lets go.
  std::map<int, TConnection> sockets_;  // protected by sockets_lock_
  int default_id_ = -1;  // protected by sockets_lock_
  int next_id_ = 0;  // protected by sockets_lock_
  // Guards the socket list and the default handle; never held across a wait.
  TCriticalSection sockets_lock_;
  TStringList table_names_;
  TStringList proc_names_;
  std::string host_;
  int port_ = 0;
  std::string service_;
  std::string address_;
  std::string database_;
  std::atomic<TServerType> server_type_{svUNIX};
  std::atomic<TDatabaseType> database_type_{dtOracle};
  std::string db_user_id_;
  std::string db_password_;
  std::atomic<int> timeout_{1000};
  std::atomic<bool> in_transaction_{false};
  std::atomic<bool> catalog_fetch_{true};
};

}  // namespace orv
#pragma GCC visibility pop
