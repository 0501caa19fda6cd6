#include "rdb/orv_rdb.h"

#include <sys/socket.h>

#include <algorithm>
#include <mutex>

#include "rdb/frame.h"

namespace orv {

namespace {

constexpr const char* kTranCommand = "TRAN;;;0;\n";
constexpr const char* kCommitCommand = "COMMIT;;;0;\n";
constexpr const char* kRollbackCommand = "ROLLBACK;;;0;\n";

bool SentWhole(int sent, const std::string& message) {
  return sent >= 0 && static_cast<size_t>(sent) == FramedSize(message.size());
}

// Wakes every wait and transfer on a socket that left the list; its
// descriptor stays open until the last of them lets go of the socket.
void ShutDown(TZozudSocket& connection) {
  shutdown(connection.SocketHandle(), SHUT_RDWR);
}

}  // namespace

TOrvRDB::TOrvRDB(TComponent* owner) : TComponent(owner) {}

TOrvRDB::~TOrvRDB() {
  std::vector<IOrvRDBDataSet*> datasets;
  {
    std::lock_guard guard(datasets_lock_);
    datasets = datasets_;
  }
  for (IOrvRDBDataSet* dataset : datasets) dataset->CloseForDatabase();

  // The default connection goes without a word; the others say goodbye.
  int default_id;
  {
    std::lock_guard guard(sockets_lock_);
    default_id = default_id_;
  }
  Drop(default_id);
  std::vector<int> handles;
  {
    std::lock_guard guard(sockets_lock_);
    for (const auto& entry : sockets_) handles.push_back(entry.first);
  }
  for (int handle : handles) Disconnect(handle);
}

TOrvRDB::TConnection TOrvRDB::Unlist(int socket) {
  std::lock_guard guard(sockets_lock_);
  auto it = sockets_.find(socket);
  if (it == sockets_.end()) return nullptr;
  TConnection gone = std::move(it->second);
  sockets_.erase(it);
  if (socket == default_id_) default_id_ = -1;
  return gone;
}

void TOrvRDB::Drop(int socket) {
  if (TConnection gone = Unlist(socket)) ShutDown(*gone);
}

int TOrvRDB::Connect() {
  if (!in_transaction_) return OpenConnection(false);
  // Every dataset of the transaction shares its one connection. Once that is
  // gone, no fresh connection may stand in for it: statements sent there
  // would run outside the transaction.
  std::lock_guard guard(sockets_lock_);
  catalog_fetch_ = default_id_ >= 0;
  return default_id_;
}

int TOrvRDB::OpenConnection(bool as_default) {
  catalog_fetch_ = false;
  auto socket = std::make_shared<TLink>();
  socket->SetAsyncStyles(0);
  socket->Open(host_, address_, service_, static_cast<uint16_t>(port_));
  int handle;
  {
    std::lock_guard guard(sockets_lock_);
    handle = next_id_++;
    sockets_.emplace(handle, std::move(socket));
    if (as_default) default_id_ = handle;
  }
  if (server_type_ == svNTServer) {
    std::string login = "CONNECT;" + db_user_id_ + ";" + db_password_ + ";" +
                        database_ + ";\n";
    int sent = -1;
    try {
      sent = Send(handle, login);
    } catch (const EOrvRDBException&) {
      // A log-in that could not be written is reported as -1 below.
    }
    if (!SentWhole(sent, login)) {
      Disconnect(handle);
      return -1;
    }
  }
  catalog_fetch_ = true;
  return handle;
}

void TOrvRDB::Disconnect(int socket) {
  // Taken off the list first, so only one caller says goodbye, and no other
  // transfer can start on it while it does.
  TConnection gone = Unlist(socket);
  if (gone == nullptr) return;
  if (gone->Connected() && server_type_ == svUNIX) SendClose(*gone);
  ShutDown(*gone);
}

bool TOrvRDB::Connected(int socket) {
  std::lock_guard guard(sockets_lock_);
  return sockets_.contains(socket);
}

bool TOrvRDB::CheckDefaultSocket(int socket) {
  std::lock_guard guard(sockets_lock_);
  return socket == default_id_;
}

bool TOrvRDB::Active() {
  std::lock_guard guard(sockets_lock_);
  return default_id_ >= 0;
}

void TOrvRDB::StartTransaction() {
  if (in_transaction_) {
    throw EOrvRDBException("A user transaction is already in progress");
  }
  auto close_default = [this] {
    int current;
    {
      std::lock_guard guard(sockets_lock_);
      current = default_id_;
    }
    if (Connected(current)) Disconnect(current);
  };
  try {
    close_default();
    in_transaction_ = true;
    int handle = OpenConnection(true);
    if (handle < 0) throw EOrvRDBException("cannot connect to server");
    if (!SentWhole(Send(handle, kTranCommand), kTranCommand)) {
      throw EOrvRDBException("StartTransaction Fail!");
    }
    GetResult(Receive(handle));
  } catch (...) {
    // A transaction that did not start leaves no connection behind: an open
    // default socket would keep the settings locked.
    in_transaction_ = false;
    close_default();
    throw;
  }
}

void TOrvRDB::EndTransaction(const char* command, const char* failure) {
  int handle;
  {
    std::lock_guard guard(sockets_lock_);
    handle = default_id_;
  }
  if (!Connected(handle)) {
    // A transaction whose connection was lost is over as well.
    in_transaction_ = false;
    throw EOrvRDBException("OrvRDB is not active");
  }
  if (!in_transaction_) {
    throw EOrvRDBException("No user transaction is currently in progress");
  }
  auto finish = [&] {
    in_transaction_ = false;
    Disconnect(handle);
  };
  try {
    if (!SentWhole(Send(handle, command), command)) throw EOrvRDBException(failure);
    GetResult(Receive(handle));
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TOrvRDB::Commit() { EndTransaction(kCommitCommand, "COMMIT Fail!"); }

void TOrvRDB::Rollback() { EndTransaction(kRollbackCommand, "ROLLBACK Fail!"); }

void TOrvRDB::AddOrvDataSet(IOrvRDBDataSet* dataset) {
  std::lock_guard guard(datasets_lock_);
  if (std::find(datasets_.begin(), datasets_.end(), dataset) == datasets_.end()) {
    datasets_.push_back(dataset);
  }
}

void TOrvRDB::RemoveOrvDataSet(IOrvRDBDataSet* dataset) {
  std::lock_guard guard(datasets_lock_);
  std::erase(datasets_, dataset);
}

void TOrvRDB::RefuseWhileActive() {
  if (Active()) throw EOrvRDBException(sCantChangeWhileActive);
}

void TOrvRDB::SettingsTouched() {
  table_names_.Clear();
  proc_names_.Clear();
  catalog_fetch_ = true;
}

template <typename Setting, typename T>
void TOrvRDB::ChangeSetting(Setting& setting, const T& value) {
  if (value != setting) {
    RefuseWhileActive();
    setting = value;
  }
  SettingsTouched();
}

void TOrvRDB::SetHost(const std::string& value) { ChangeSetting(host_, value); }
void TOrvRDB::SetPort(int value) { ChangeSetting(port_, value); }
void TOrvRDB::SetAddress(const std::string& value) { ChangeSetting(address_, value); }
void TOrvRDB::SetService(const std::string& value) { ChangeSetting(service_, value); }
void TOrvRDB::SetDatabase(const std::string& value) { ChangeSetting(database_, value); }
void TOrvRDB::SetServerType(TServerType value) { ChangeSetting(server_type_, value); }
void TOrvRDB::SetDatabaseType(TDatabaseType value) { ChangeSetting(database_type_, value); }
void TOrvRDB::SetDBUserId(const std::string& value) { ChangeSetting(db_user_id_, value); }
void TOrvRDB::SetDBPassword(const std::string& value) { ChangeSetting(db_password_, value); }

}  // namespace orv
